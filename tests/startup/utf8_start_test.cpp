// velk.exe runs with UTF-8 as its ANSI code page: a path the system's code page
// cannot spell comes in from Explorer's verb and from a later start. This program
// carries the same manifest, so its own ...A calls speak UTF-8 too.
#include <windows.h>

#include <string>

#include "gtest/gtest.h"
#include "res/resource.h"
#include "tests/startup/velk_process.h"
#include "tests/support/test_files.h"

using Utf8Start = VelkProcessTest;

TEST_F(Utf8Start, PathsComeInFromExplorersVerbAndFromALaterStart) {
    if (GetACP() != CP_UTF8) GTEST_SKIP() << "the ANSI code page is " << GetACP() << ", not UTF-8";
    ScratchDir scratch;
    const std::string folder = scratch / "Папка";
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    const std::string file = folder + "\\Отчёт 2026.zip";
    const std::string other = folder + "\\数据.bin";
    ASSERT_TRUE(WritePattern(file, 3000000));
    ASSERT_TRUE(WritePattern(other, 1000));

    // The verb's command: "<program>" "%1".
    VelkProcess* first = StartFirst("\"" + file + "\"");
    ASSERT_NE(nullptr, first);
    EXPECT_EQ(file, ControlText(first->window, IDC_SOURCE_BOX));
    EXPECT_EQ("File Size : 2.86 MB", ControlText(first->window, IDC_FILE_SIZE_TEXT));
    EXPECT_EQ(folder + "\\", ControlText(first->window, IDC_DEST_BOX));

    VelkProcess* later = Start("\"" + other + "\"");
    ASSERT_NE(nullptr, later);
    EXPECT_EQ(0, WaitForExit(later));
    EXPECT_EQ(other, ControlText(first->window, IDC_SOURCE_BOX));
    EXPECT_EQ(1u, MainWindows().size());
}
