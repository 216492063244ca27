// velk.exe runs with UTF-8 as its ANSI code page: a path the system's code page
// cannot spell comes in from Explorer's verb and from a later start. This program
// carries the same manifest, so its own ...A calls speak UTF-8 too.
#include <windows.h>

#include <string>

#include "core/app_state.h"
#include "gtest/gtest.h"
#include "res/resource.h"
#include "tests/startup/velk_process.h"
#include "tests/support/message_boxes.h"
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

TEST_F(Utf8Start, APathPast259BytesComesInWholeAndOnePast259CharactersGetsItsBox) {
    if (GetACP() != CP_UTF8) GTEST_SKIP() << "the ANSI code page is " << GetACP() << ", not UTF-8";
    ScratchDir scratch;
    std::string folder = scratch / "Папка ";
    while (PathCharacters(folder.c_str()) < 200) folder += "ж";
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    const std::string file = folder + "\\Отчёт 2026.zip";  // about 420 bytes
    std::string full = folder + "\\";
    while (PathCharacters((full + "ф.bin").c_str()) <= 259) full += "ф";
    full += ".bin";
    ASSERT_TRUE(WritePattern(file, 1000));
    ASSERT_TRUE(WritePattern(full, 1000));
    const std::string tooLong = full + ".bak";  // its first 259 characters name a file
    auto expectRefusedBy = [&](VelkProcess* process, HWND owner) {
        HWND box = WaitForMessageBox(process);
        ASSERT_NE(nullptr, box) << "no box for the path of 263 characters";
        SeenBox seen = ReadMessageBox(box);
        EXPECT_NE(std::string::npos, seen.text.find("longer than Windows allows (259 characters)")) << seen.text;
        EXPECT_EQ(owner, seen.owner);
        PressBoxButton(box, IDOK);
    };

    // A first start: the box before the window, which opens without a source.
    VelkProcess* first = Start("\"" + tooLong + "\"");
    ASSERT_NE(nullptr, first);
    expectRefusedBy(first, nullptr);
    ASSERT_NE(nullptr, WaitForWindow(first));
    EXPECT_EQ("", ControlText(first->window, IDC_SOURCE_BOX));

    VelkProcess* later = Start("\"" + file + "\"");
    ASSERT_NE(nullptr, later);
    EXPECT_EQ(0, WaitForExit(later));
    EXPECT_EQ(file, ControlText(first->window, IDC_SOURCE_BOX));
    // A later start: the running window says so, and keeps its source.
    later = Start(tooLong);
    ASSERT_NE(nullptr, later);
    EXPECT_EQ(0, WaitForExit(later));
    expectRefusedBy(first, first->window);
    EXPECT_EQ(file, ControlText(first->window, IDC_SOURCE_BOX));
}
