#include "split/free_space.h"

#include "core/app_state.h"
#include "gtest/gtest.h"
#include "tests/support/message_boxes.h"
#include "tests/support/test_drives.h"
#include "tests/support/test_files.h"

namespace {
const char kInsertDiskPrompt[] =
    "Insert another Disk which has atleast %lu bytes free \n                            and retry";

std::string InsertDiskText(DWORD bytes) {
    char text[200];
    wsprintfA(text, kInsertDiskPrompt, static_cast<unsigned long>(bytes));
    return text;
}

class FreeSpaceTest : public ::testing::Test {
protected:
    void SetUp() override { ResetAppState(); }
    void TearDown() override { ResetAppState(); }
    void SetDest(const std::string& dir) { CopyText(appState.destDir, dir.c_str()); }
};

// Fills the floppy in the drive until fewer than the given bytes are free.
void FillFloppyLeaving(DWORD freeBytes) {
    ULARGE_INTEGER free{};
    GetDiskFreeSpaceExA(FloppyDrive::kRoot, &free, nullptr, nullptr);
    ASSERT_GT(free.QuadPart, freeBytes);
    ASSERT_TRUE(WritePattern("A:\\filler.bin", static_cast<size_t>(free.QuadPart - freeBytes)));
}
}  // namespace

TEST_F(FreeSpaceTest, EnoughRoomPassesWithoutAMessage) {
    ScratchDir dir;
    SetDest(dir.path());
    MessageBoxAnswerer boxes;
    EXPECT_EQ(0, CheckFreeSpace(1457664));
    EXPECT_EQ(0u, boxes.Count()) << boxes.Describe();
}

TEST_F(FreeSpaceTest, AVolumeWithMoreThanFourGiBFreePassesAnyRequest) {
    ScratchDir dir;
    ULARGE_INTEGER free{};
    ASSERT_TRUE(GetDiskFreeSpaceExA(dir.path().c_str(), &free, nullptr, nullptr));
    if (free.QuadPart <= 0xFFFFFFFFull) GTEST_SKIP() << "the test volume has 4 GiB free or less";
    SetDest(dir.path());
    MessageBoxAnswerer boxes;
    EXPECT_EQ(0, CheckFreeSpace(0xFFFFFFFFu));
    EXPECT_EQ(0u, boxes.Count()) << boxes.Describe();
}

TEST_F(FreeSpaceTest, ExactlyTheFreeBytesAreEnough) {
    SKIP_WITHOUT_FLOPPY();
    FloppyDrive floppy;
    SetDest("A:\\");
    DWORD free = static_cast<DWORD>(floppy.FreeBytes());
    MessageBoxAnswerer boxes;
    EXPECT_EQ(0, CheckFreeSpace(free));
    EXPECT_EQ(0u, boxes.Count()) << boxes.Describe();
    boxes.Then(IDCANCEL);
    EXPECT_EQ(1000, CheckFreeSpace(free + 1));
    EXPECT_EQ(1u, boxes.Count());
}

TEST_F(FreeSpaceTest, FloppyShortOfRoomPromptsUntilADiskWithRoomIsIn) {
    SKIP_WITHOUT_FLOPPY();
    FloppyDrive floppy;
    FillFloppyLeaving(100000);
    SetDest("A:\\parts");
    MessageBoxAnswerer boxes;
    boxes.Then(IDRETRY)  // the same full disk: asked again
        .ThenRun([&](const SeenBox&) { floppy.InsertEmptyDisk(); }, IDRETRY);
    EXPECT_EQ(0, CheckFreeSpace(1457664));
    ASSERT_EQ(2u, boxes.Count()) << boxes.Describe();
    for (const SeenBox& box : boxes.Seen()) {
        EXPECT_EQ(InsertDiskText(1457664), box.text);
        EXPECT_EQ(kWindowTitle, box.caption);
        EXPECT_EQ(static_cast<UINT>(MB_RETRYCANCEL | MB_ICONERROR), box.style());
        EXPECT_EQ(nullptr, box.owner);
    }
    EXPECT_EQ(0, boxes.Unexpected());
}

TEST_F(FreeSpaceTest, CancelAtThePromptGives1000) {
    SKIP_WITHOUT_FLOPPY();
    FloppyDrive floppy;
    SetDest("A:\\");
    MessageBoxAnswerer boxes;
    boxes.Then(IDCANCEL);
    EXPECT_EQ(1000, CheckFreeSpace(2000000));
    ASSERT_EQ(1u, boxes.Count());
    EXPECT_EQ(InsertDiskText(2000000), boxes.Last().text);
}

TEST_F(FreeSpaceTest, FullFixedDiskSaysSoOnce) {
    SKIP_WITHOUT_SMALL_DISK();
    SmallFixedDisk disk;
    SetDest("Q:\\");
    MessageBoxAnswerer boxes;
    boxes.Then(IDOK);
    EXPECT_EQ(kDiskFullTold, CheckFreeSpace(1457664));
    ASSERT_EQ(1u, boxes.Count()) << boxes.Describe();
    EXPECT_EQ("Disk is full, quiting VELK", boxes.Last().text);
    EXPECT_EQ(kWindowTitle, boxes.Last().caption);
    EXPECT_EQ(static_cast<UINT>(MB_OK | MB_ICONERROR), boxes.Last().style());
    EXPECT_EQ(nullptr, boxes.Last().owner);
}

TEST_F(FreeSpaceTest, ADriveThatCannotBeAskedIsUnknownWithoutABox) {
    char root[] = "?:\\";
    for (char letter = 'Z'; letter > 'C'; --letter) {
        root[0] = letter;
        if (GetDriveTypeA(root) == DRIVE_NO_ROOT_DIR) break;
    }
    ASSERT_EQ(static_cast<UINT>(DRIVE_NO_ROOT_DIR), GetDriveTypeA(root));
    SetDest(std::string(root) + "out");
    MessageBoxAnswerer boxes;
    EXPECT_EQ(kFreeSpaceUnknown, CheckFreeSpace(1));
    EXPECT_EQ(0u, boxes.Count()) << boxes.Describe();
}

// A destination without a drive letter is checked on the volume that holds it:
// a relative path under the floppy's current directory gets the floppy's prompt.
TEST_F(FreeSpaceTest, RelativeDestinationIsCheckedOnItsOwnVolume) {
    SKIP_WITHOUT_FLOPPY();
    FloppyDrive floppy;
    char previous[MAX_PATH];
    GetCurrentDirectoryA(sizeof previous, previous);
    ASSERT_TRUE(CreateDirectoryA("A:\\sub", nullptr));
    ASSERT_TRUE(SetCurrentDirectoryA("A:\\"));
    SetDest("sub");
    MessageBoxAnswerer boxes;
    boxes.Then(IDCANCEL);
    int small = CheckFreeSpace(1000);
    int large = CheckFreeSpace(2000000);
    SetCurrentDirectoryA(previous);
    RemoveDirectoryA("A:\\sub");
    EXPECT_EQ(0, small);
    EXPECT_EQ(1000, large);
    ASSERT_EQ(1u, boxes.Count()) << boxes.Describe();
    EXPECT_EQ(InsertDiskText(2000000), boxes.Last().text);
}

// A network destination is checked on its share (\\server\share\); a share
// that cannot be reached fails the query, which gives no message here.
TEST_F(FreeSpaceTest, AnUnreachableNetworkShareIsUnknownWithoutABox) {
    SetDest("\\\\nosuchserver\\share\\dir");
    MessageBoxAnswerer boxes;
    EXPECT_EQ(kFreeSpaceUnknown, CheckFreeSpace(1));
    EXPECT_EQ(0u, boxes.Count()) << boxes.Describe();
}
