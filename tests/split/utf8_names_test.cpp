// Names beyond the ANSI code page, in a program that runs with UTF-8 as velk.exe
// does (this one carries the same manifest), in the Western and the Russian locale.
// The script is read by the console in the system's OEM code page (437 or 866).
#include <windows.h>

#include <cstdlib>

#include "split/console_text.h"
#include "split/merge_script.h"
#include "split/split_run.h"
#include "tests/split/split_fixture.h"
#include "tests/support/message_boxes.h"
#include "tests/support/unix_command.h"

namespace {
class Utf8Names : public SplitTest {
protected:
    void SetUp() override {
        SplitTest::SetUp();
        if (GetACP() != CP_UTF8) GTEST_SKIP() << "the ANSI code page is " << GetACP() << ", not UTF-8";
        const char* wanted = std::getenv("VELK_OEM_CODE_PAGE");
        if (wanted != nullptr && std::strtoul(wanted, nullptr, 10) != SystemOemCodePage()) {
            GTEST_SKIP() << "the system's OEM code page is " << SystemOemCodePage() << ", not "
                         << wanted << ": that locale is missing here";
        }
        folder = dest_ / "Папка";
        ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    }
    std::string folder;
};
}  // namespace

TEST_F(Utf8Names, TextHelpersCutOnlyBetweenWholeCharacters) {
    char six[6];
    EXPECT_FALSE(CopyText(six, "Отчёт"));
    EXPECT_STREQ("От", six);
    EXPECT_FALSE(FormatText(six, sizeof six, "%s", "数据"));
    EXPECT_STREQ("数", six);
    char four[4];
    EXPECT_FALSE(CopyText(four, "😀"));
    EXPECT_STREQ("", four);
    EXPECT_TRUE(EndsInBackslash("C:\\Отчёт\\"));
    EXPECT_FALSE(EndsInBackslash("C:\\数据"));
}

TEST_F(Utf8Names, ANameTheConsoleCannotReadGetsItsPartsAndTheBoxButNoScript) {
    std::vector<std::string> names = {"数据.bin"};
    if (SystemOemCodePage() == 437) names.push_back("Отчёт 2026.zip");
    for (const std::string& name : names) {
        std::vector<char> source = ChooseSource(name, 30000, 10000, folder);
        MessageBoxAnswerer boxes;
        boxes.Then(IDOK);
        ASSERT_TRUE(SplitFile());
        EXPECT_TRUE(WriteMergeScript());
        ASSERT_EQ(1u, boxes.Count()) << boxes.Describe();
        const std::string& text = boxes.Last().text;
        EXPECT_NE(std::string::npos, text.find("No merge script was written")) << text;
        EXPECT_NE(std::string::npos, text.find(name)) << "the name as it is: " << text;
        std::vector<std::string> files = {name + ".001", name + ".002", name + ".003",
                                          name + ".sha256"};
        EXPECT_EQ(files, ListFiles(folder));
        // The list names the parts in UTF-8: checked and joined in its order, as the
        // read-me tells users of other systems.
        std::string join = "cd '" + UnixPathOf(folder) + "' && sha256sum -c '" + files[3] +
                           "' && cut -c 67- '" + files[3] +
                           "' | while IFS= read -r part; do cat \"$part\"; done > joined";
        ASSERT_EQ(0, RunUnixCommand(join)) << join;
        EXPECT_TRUE(ReadBytes(folder + "\\joined") == source) << name << ": joined bytes differ";
        for (const std::string& file : ListFiles(folder)) DeleteFileA((folder + "\\" + file).c_str());
    }
}

TEST_F(Utf8Names, ANameOfTheSystemsLanguageGetsAScriptTheInterpreterRuns) {
    const std::string name = SystemOemCodePage() == 866 ? "Отчёт 2026.zip" : "café au lait.zip";
    std::vector<char> source = ChooseSource(name, 30000, 10000, folder);
    MessageBoxAnswerer boxes;
    ASSERT_TRUE(SplitFile());
    ASSERT_TRUE(WriteMergeScript());
    EXPECT_EQ(0u, boxes.Count()) << boxes.Describe();
    ASSERT_TRUE(FileExists(folder + "\\" + name + ".bat"));
    EXPECT_EQ(0, RunProcess("cmd.exe /c \"\"" + name + ".bat\"\"", folder));
    EXPECT_TRUE(ReadBytes(folder + "\\" + name) == source) << name << ": merged bytes differ";
}
