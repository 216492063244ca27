// Explorer's right-click entry of the real program: registered at every start,
// and run as Explorer runs it.
#include <windows.h>

#include <string>

#include "core/app_state.h"
#include "gtest/gtest.h"
#include "res/resource.h"
#include "tests/prefs/shell_entry.h"
#include "tests/startup/velk_process.h"
#include "tests/support/test_files.h"

namespace {

class Explorer : public VelkProcessTest {
protected:
    void SetUp() override {
        VelkProcessTest::SetUp();
        file = folder / "data file.zip";
        other = folder / "other file.zip";
        ASSERT_TRUE(WritePattern(file, 3000000));
        ASSERT_TRUE(WritePattern(other, 1000));
    }
    static std::string Command(const std::string& program) { return "\"" + program + "\" \"%1\""; }

    // The registered command with %1 replaced by the file, started as Explorer starts it.
    VelkProcess* RunEntry(const std::string& path) {
        std::string line = ShellEntryText("command");
        std::size_t at = line.find("%1");
        if (at == std::string::npos) {
            ADD_FAILURE() << "no %1 in the registered command [" << line << "]";
            return nullptr;
        }
        return StartCommandLine(line.replace(at, 2, path));
    }

    ScratchDir folder;
    std::string file;
    std::string other;
};

}  // namespace

TEST_F(Explorer, EveryStartPutsTheEntryInStepWithTheSettingAndTheProgramsPath) {
    VelkProcess* first = StartFirst("");
    ASSERT_NE(nullptr, first);
    EXPECT_EQ(kShellVerbText, ShellEntryText());
    EXPECT_EQ(Command(VelkExePath()), ShellEntryText("command"));
    TerminateProcess(first->info.hProcess, 1);
    ASSERT_EQ(1, WaitForExit(first));

    // Moved to a folder with blanks in its name: the entry follows.
    std::string moved = folder / "moved velk.exe";
    ASSERT_TRUE(CopyFileA(VelkExePath().c_str(), moved.c_str(), FALSE));
    VelkProcess* copy = StartCommandLine("\"" + moved + "\"");
    ASSERT_NE(nullptr, WaitForWindow(copy));
    EXPECT_EQ(Command(moved), ShellEntryText("command"));
    TerminateProcess(copy->info.hProcess, 1);
    ASSERT_EQ(1, WaitForExit(copy));

    ASSERT_TRUE(VelkRegistry::WriteDword("ShlRtClkEn", 0));
    ASSERT_NE(nullptr, StartFirst(""));
    EXPECT_EQ("(no such key)", ShellEntryText());
}

TEST_F(Explorer, TheEntryStartsTheProgramWithTheFileOrHandsItToTheRunningOne) {
    VelkProcess* first = StartFirst("");
    ASSERT_NE(nullptr, first);
    VelkProcess* later = RunEntry(file);
    ASSERT_NE(nullptr, later);
    EXPECT_EQ(0, WaitForExit(later));
    EXPECT_EQ(file, ControlText(first->window, IDC_SOURCE_BOX));
    TerminateProcess(first->info.hProcess, 1);
    ASSERT_EQ(1, WaitForExit(first));

    VelkProcess* started = RunEntry(other);
    ASSERT_NE(nullptr, started);
    ASSERT_NE(nullptr, WaitForWindow(started));
    EXPECT_EQ(other, ControlText(started->window, IDC_SOURCE_BOX));
    EXPECT_EQ("File Size : 0.98 KB", ControlText(started->window, IDC_FILE_SIZE_TEXT));
}
