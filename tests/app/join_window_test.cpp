// The main window with a first part loaded: it turns to joining and back, joins
// through the progress window, sums up, records the destination, and holds off a
// log-off during the join with nothing half-joined left when the session ends.
#include <windows.h>

#include <string>
#include <vector>

#include "core/app_state.h"
#include "app/main_window.h"
#include "res/resource.h"
#include "recovery/recovery_writer.h"
#include "split/format_size.h"
#include "split/merge_script.h"
#include "split/split_run.h"
#include "tests/app/main_window_fixture.h"
#include "tests/support/message_boxes.h"
#include "tests/support/test_files.h"
#include "tests/support/velk_registry.h"

namespace {
// A set of "data.zip" in parts of `part` bytes, with its script and list, in `folder`.
std::vector<char> MakeSet(const ScratchDir& src, const std::string& folder, size_t size,
                          DWORD part, DWORD losses = 0) {
    std::vector<char> bytes = PatternBytes(size, 5);
    EXPECT_TRUE(WriteBytes(src / "data.zip", bytes));
    CopyText(appState.sourcePath, (src / "data.zip").c_str());
    CopyText(appState.destDir, folder.c_str());
    appState.fileSize = size;
    appState.splitSize = part;
    ComputePartCount();
    EXPECT_TRUE(SplitFile() && WriteRecoverySet(losses) && WriteMergeScript());
    appState.sourcePath[0] = appState.destDir[0] = '\0';
    appState.fileSize = appState.partCount = 0;
    appState.splitSize = kFloppySplitSize;
    return bytes;
}

std::string SourceLabel(HWND window) {
    char text[64] = "";
    GetWindowTextA(GetWindow(GetDlgItem(window, IDC_SOURCE_BOX), GW_HWNDPREV), text, sizeof text);
    return text;
}
}  // namespace

TEST_F(MainWindowTest, AFirstPartTurnsTheWindowToJoiningAndTheJoinSumsUp) {
    ScratchDir src, parts, out;
    std::vector<char> bytes = MakeSet(src, parts.path(), 25000, 10000);
    Open();
    for (const std::string& path : {parts / "data.zip.001", src / "data.zip", parts / "data.zip.001"}) {
        SCOPED_TRACE(path);
        TypeAndLeave(IDC_SOURCE_BOX, path, IDC_BROWSE_SOURCE);
        bool joining = path != src / "data.zip";
        EXPECT_EQ(joining ? "Join" : "Split", Text(IDC_SPLIT));
        EXPECT_EQ(joining ? "First Part of a Set to be Joined" : "File to be Split",
                  SourceLabel(window_));
        EXPECT_EQ(!joining, IsWindowEnabled(Item(IDC_SIZE_BOX)) != FALSE);
        char size[20];
        FormatSize(25000, size);
        EXPECT_EQ(std::string("File Size : ") + size, Text(IDC_FILE_SIZE_TEXT));
        EXPECT_EQ(joining ? "Num of Split Parts : 3" : "Num of Split Parts : 1",
                  Text(IDC_PART_COUNT_TEXT));
    }
    TypeAndLeave(IDC_DEST_BOX, out.path(), IDC_BROWSE_DEST);

    MessageBoxAnswerer boxes;
    boxes.Then(IDOK);
    Click(IDC_SPLIT);
    ASSERT_EQ(1u, boxes.Count()) << boxes.Describe();
    EXPECT_EQ("File\t : data.zip Joined Successfully\n#Parts\t : 3 part(s) \nTarget Dir\t : " +
                  out.path() + "\\",
              boxes.Last().text);
    EXPECT_EQ(window_, boxes.Last().owner);
    EXPECT_TRUE(ReadBytes(out / "data.zip") == bytes);
    EXPECT_EQ(out.path() + "\\", VelkRegistry::Read("MRUD1").Text());
    EXPECT_EQ("Split", Text(IDC_SPLIT));
    EXPECT_TRUE(IsWindowEnabled(Item(IDC_SIZE_BOX)));
    EXPECT_EQ("", Text(IDC_SOURCE_BOX));
}

// A part lost from a set with recovery volumes: the join rebuilds it and says so.
TEST_F(MainWindowTest, TheJoinRebuildsALostPartAndItsSummaryNamesIt) {
    ScratchDir src, parts, out;
    std::vector<char> bytes = MakeSet(src, parts.path(), 25000, 10000, 1);
    ASSERT_TRUE(DeleteFileA((parts / "data.zip.002").c_str()));
    Open();
    TypeAndLeave(IDC_SOURCE_BOX, parts / "data.zip.001", IDC_BROWSE_SOURCE);
    TypeAndLeave(IDC_DEST_BOX, out.path(), IDC_BROWSE_DEST);
    MessageBoxAnswerer boxes;
    boxes.Then(IDOK);
    Click(IDC_SPLIT);
    ASSERT_EQ(1u, boxes.Count()) << boxes.Describe();
    EXPECT_EQ("File\t : data.zip Joined Successfully\n#Parts\t : 3 part(s) \nTarget Dir\t : " +
                  out.path() + "\\\nRebuilt\t : part(s) 2 from the recovery volumes",
              boxes.Last().text);
    EXPECT_TRUE(ReadBytes(out / "data.zip") == bytes);
}

namespace {
HWND joinWindow = nullptr;
std::string joiningFile;
LRESULT logOffAnswer = TRUE;
bool goneAtOnce = false;

// In the middle of part 2: log-off asked for, then the session ending all the same.
bool EndTheSessionInPart2(const SplitProgress& progress) {
    if (progress.part != 2 || progress.partDone == 0 || !joiningFile.size()) return true;
    logOffAnswer = SendMessageA(joinWindow, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF);
    SendMessageA(joinWindow, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
    goneAtOnce = !FileExists(joiningFile);
    joiningFile.clear();
    return true;
}
}  // namespace

TEST_F(MainWindowTest, ALogOffDuringAJoinIsHeldOffAndLeavesNoHalfJoinedFile) {
    ScratchDir src, parts, out;
    MakeSet(src, parts.path(), 600000, 200000);
    Open();
    TypeAndLeave(IDC_SOURCE_BOX, parts / "data.zip.001", IDC_BROWSE_SOURCE);
    TypeAndLeave(IDC_DEST_BOX, out.path(), IDC_BROWSE_DEST);
    joinWindow = window_;
    joiningFile = out / "data.zip.joining";
    splitSliceSize = 65536;
    splitProgressHook = EndTheSessionInPart2;
    MessageBoxAnswerer boxes;
    Click(IDC_SPLIT);
    splitProgressHook = nullptr;
    splitSliceSize = kSliceSize;
    EXPECT_TRUE(joiningFile.empty()) << "the run never reached part 2";
    EXPECT_EQ(FALSE, logOffAnswer);
    EXPECT_TRUE(goneAtOnce);
    EXPECT_EQ(0u, boxes.Count()) << boxes.Describe();
    EXPECT_TRUE(ListFiles(out.path()).empty());
}
