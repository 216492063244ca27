// The parts' SHA-256, taken on a second thread beside the copy: right across the
// edges of slices, views and parts by either of the platform's routes, and the
// thread gone however the run ends.
#include <windows.h>
#include <tlhelp32.h>

#include <algorithm>
#include <set>

#include "split/mapped_file.h"
#include "split/merge_script.h"
#include "split/platform_sha256.h"
#include "split/split_run.h"
#include "tests/split/split_fixture.h"
#include "tests/support/message_boxes.h"
#include "tests/support/unix_command.h"

namespace {
std::set<DWORD> ThreadsOfThisProcess() {
    std::set<DWORD> ids;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 entry;
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID == GetCurrentProcessId()) ids.insert(entry.th32ThreadID);
    }
    CloseHandle(snapshot);
    return ids;
}

// Views as small as slices: the first part's slices begin at view edges, later
// ones fall across them, and parts end inside views.
class PartHashingTest : public SplitTest {
protected:
    void SetUp() override {
        SplitTest::SetUp();
        mappedWindowSize = 65536;
        splitSliceSize = 65536;
    }
    void TearDown() override {
        mappedWindowSize = kDefaultMappedWindow;
        splitSliceSize = kSliceSize;
        sha256ThroughCng = true;
        splitProgressHook = nullptr;
        SplitTest::TearDown();
    }
};

std::set<DWORD> threadsAtCancel;
bool endSession = false;
bool CancelInTheSecondSlice(const SplitProgress& progress) {
    if (progress.part < 2 || progress.partDone == 0) return true;
    threadsAtCancel = ThreadsOfThisProcess();
    if (endSession) EndRunAsSessionEnds();
    return false;
}
}  // namespace

TEST_F(PartHashingTest, TheListMatchesSha256sumOfThePartsThroughCngAndCryptoApi) {
    for (bool cng : {true, false}) {
        SCOPED_TRACE(cng ? "CNG" : "CryptoAPI");
        sha256ThroughCng = cng;
        RemoveTree(dest_.path());
        CreateDirectoryA(dest_.path().c_str(), nullptr);
        ChooseSource("hashed.bin", 1000003, 3 * 65536 + 1000);
        ASSERT_TRUE(SplitFile() && WriteMergeScript());
        std::string command = "cd '" + UnixPathOf(dest_.path()) +
                              "' && sha256sum -c hashed.bin.sha256 >sha256sum.txt 2>&1";
        EXPECT_EQ(0, RunUnixCommand(command)) << ReadText(dest_ / "sha256sum.txt");
        const std::string list = ReadText(dest_ / "hashed.bin.sha256");
        EXPECT_EQ(6, std::count(list.begin(), list.end(), '\n')) << list;
    }
}

TEST_F(PartHashingTest, ARunStoppedInTheCopyEndsTheHashingThread) {
    for (bool session : {false, true}) {
        SCOPED_TRACE(session ? "the session ends" : "Cancel");
        endSession = session;
        ChooseSource("stopped.bin", 1000003, 300000);
        const std::set<DWORD> before = ThreadsOfThisProcess();
        splitProgressHook = CancelInTheSecondSlice;
        MessageBoxAnswerer boxes;
        boxes.Then(IDOK);
        EXPECT_FALSE(SplitFile());
        std::set<DWORD> started;
        for (DWORD id : threadsAtCancel) {
            if (!before.count(id)) started.insert(id);
        }
        EXPECT_EQ(1u, started.size()) << "the hashing thread, while the run copied";
        for (DWORD id : ThreadsOfThisProcess()) EXPECT_EQ(0u, started.count(id)) << "left running";
        EXPECT_EQ(65536, FileSize(dest_ / PartName("stopped.bin", 2)));
    }
}
