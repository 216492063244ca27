// The test helpers that every other suite relies on, checked against the platform.
#include <windows.h>

#include <string>

#include "core/app_state.h"
#include "gtest/gtest.h"
#include "tests/support/message_boxes.h"
#include "tests/support/test_drives.h"
#include "tests/support/test_files.h"
#include "tests/support/unix_command.h"

TEST(MessageBoxAnswerer, ReadsTextCaptionStyleAndOwnerAndPressesTheQueuedButton) {
    MessageBoxAnswerer boxes;
    boxes.Then(IDRETRY).Then(IDYES);
    EXPECT_EQ(IDRETRY, ShowMessage(nullptr, "first\nline", MB_RETRYCANCEL | MB_ICONERROR));
    EXPECT_EQ(IDYES, MessageBoxA(GetDesktopWindow(), "second", "other", MB_YESNO | MB_ICONQUESTION));
    ASSERT_EQ(2u, boxes.Count()) << boxes.Describe();
    EXPECT_EQ("first\nline", boxes.Seen()[0].text);
    EXPECT_EQ(kWindowTitle, boxes.Seen()[0].caption);
    EXPECT_EQ(static_cast<UINT>(MB_RETRYCANCEL | MB_ICONERROR), boxes.Seen()[0].style());
    EXPECT_EQ(nullptr, boxes.Seen()[0].owner);
    EXPECT_EQ(static_cast<UINT>(MB_YESNO | MB_ICONQUESTION), boxes.Seen()[1].style());
    EXPECT_EQ(0, boxes.Unexpected());
}

TEST(MessageBoxAnswerer, TellsInformationWarningAndPlainBoxesApart) {
    MessageBoxAnswerer boxes;
    boxes.Then(IDOK).Then(IDOK).Then(IDOK);
    ShowMessage(nullptr, "a", MB_ICONINFORMATION);
    ShowMessage(nullptr, "b", MB_OK | MB_ICONWARNING);
    ShowMessage(nullptr, "c", MB_OK);
    ASSERT_EQ(3u, boxes.Count());
    EXPECT_EQ(static_cast<UINT>(MB_ICONINFORMATION), boxes.Seen()[0].style());
    EXPECT_EQ(static_cast<UINT>(MB_ICONWARNING), boxes.Seen()[1].style());
    EXPECT_EQ(static_cast<UINT>(MB_OK), boxes.Seen()[2].style());
}

TEST(MessageBoxAnswerer, AnswersAnUnexpectedBoxWithCancelSoNothingHangs) {
    MessageBoxAnswerer boxes;
    EXPECT_EQ(IDCANCEL, ShowMessage(nullptr, "surprise", MB_RETRYCANCEL));
    EXPECT_EQ(1, boxes.Unexpected());
}

TEST(TestDrives, FloppyIsRemovableWithTheRoomOfA144Disk) {
    SKIP_WITHOUT_FLOPPY();
    FloppyDrive floppy;
    EXPECT_EQ(1474560ull, floppy.FreeBytes());
    ASSERT_TRUE(WritePattern("A:\\one.bin", 1000));
    floppy.InsertEmptyDisk();
    EXPECT_TRUE(ListFiles("A:").empty());
    EXPECT_EQ(1000, FileSize(floppy.Pile() + "\\one.bin"));
}

TEST(TestDrives, SmallDiskIsFixed) {
    SKIP_WITHOUT_SMALL_DISK();
    SmallFixedDisk disk;
    EXPECT_EQ(static_cast<UINT>(DRIVE_FIXED), GetDriveTypeA(SmallFixedDisk::kRoot));
}

TEST(UnixCommand, RunsALinuxCommandAndWaitsForItsExitCode) {
    EXPECT_EQ(0, RunUnixCommand("test -d /tmp && echo \"quoted text\" >/dev/null"));
    EXPECT_EQ(3, RunUnixCommand("sleep 0.2; exit 3"));
}

TEST(UnixCommand, ReachesTheVirtualDisplayWithXdotool) {
    EXPECT_EQ(0, XInput("getdisplaygeometry"));
}

// A box that nobody answers fails the test that showed it and is closed, so the
// program goes on to its end instead of hanging the suite.
TEST(BoxWatchdog, DISABLED_BoxNobodyAnswers) { MessageBoxA(nullptr, "nobody answers", "stray", MB_OK); }

TEST(BoxWatchdog, FailsTheTestOfABoxNobodyAnswersAndLetsTheRunEnd) {
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, sizeof self);
    std::string line = std::string("\"") + self +
                       "\" --gtest_also_run_disabled_tests --gtest_filter=BoxWatchdog.DISABLED_*";
    EXPECT_EQ(1, RunProcess(line, "", 60000));
}

// A test program that crashes fails at once with the fault's code, instead of
// waiting in a debugger nobody attends until the suite's time runs out.
TEST(CrashingTest, DISABLED_Crashes) {
    volatile int* nowhere = nullptr;
    *nowhere = 1;
}

TEST(CrashingTest, EndsAtOnceWithTheFaultsCode) {
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, sizeof self);
    // An access violation, or an illegal instruction where qemu-i386 reports the fault so.
    DWORD code = static_cast<DWORD>(
        RunProcess(std::string("\"") + self + "\" --gtest_also_run_disabled_tests " +
                       "--gtest_filter=CrashingTest.DISABLED_*", "", 30000));
    EXPECT_TRUE(code == EXCEPTION_ACCESS_VIOLATION || code == EXCEPTION_ILLEGAL_INSTRUCTION)
        << std::hex << "came 0x" << code << " (0xffffffff: the crashed program had not ended after 30 s)";
}
