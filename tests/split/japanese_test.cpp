// Code page 932, as Wine takes it from the locale ja_JP.UTF-8 (the suite runs once
// more in a process started so): the second byte of a character may equal '\\'
// (表 is 0x95 0x5C), '^' (タ is 0x83 0x5E) or '|' (ポ is 0x83 0x7C).
#include <windows.h>

#include "split/merge_script.h"
#include "split/split_run.h"
#include "tests/split/split_fixture.h"
#include "tests/support/message_boxes.h"

namespace {
const std::string kFolder = "\x97\x5C\x92\xE8\x95\x5C";   // 予定表
const std::string kName = "\x83\x66\x81\x5B\x83\x5E.zip"; // データ.zip

class Japanese : public SplitTest {
protected:
    void SetUp() override {
        SplitTest::SetUp();
        if (GetACP() != 932) {
            GTEST_SKIP() << "the ANSI code page is " << GetACP()
                         << ", not 932: no locale ja_JP.UTF-8 here";
        }
    }
};
}  // namespace

TEST_F(Japanese, TextHelpersCutAppendAndSearchByCharacter) {
    char six[6];
    EXPECT_FALSE(CopyText(six, kFolder.c_str()));
    EXPECT_EQ(kFolder.substr(0, 4), six) << "never half a character";
    EXPECT_FALSE(FormatText(six, sizeof six, "%s", kFolder.c_str()));
    EXPECT_EQ(kFolder.substr(0, 4), six);

    char path[kPathSize];
    CopyText(path, ("C:\\" + kFolder).c_str());
    EXPECT_FALSE(EndsInBackslash(path));
    ASSERT_TRUE(AddBackslash(path));
    EXPECT_EQ("C:\\" + kFolder + "\\", path);

    const std::string bar = "\x83\x7C|";  // ポ, then a real vertical bar
    EXPECT_EQ(bar.c_str() + 2, FindCharIn(bar.c_str(), "|"));
}

TEST_F(Japanese, PartsLandInAFolderEndingInByte0x5CAndTheScriptRebuildsTheSource) {
    const std::string folder = dest_ / kFolder;
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    std::vector<char> source = ChooseSource(kName, 30000, 10000, folder);
    MessageBoxAnswerer boxes;
    ASSERT_TRUE(SplitFile());
    ASSERT_TRUE(WriteMergeScript());
    EXPECT_EQ(0u, boxes.Count()) << boxes.Describe();
    EXPECT_EQ(folder + "\\", appState.destDir);
    EXPECT_TRUE(ListFiles(dest_.path()).empty()) << "nothing lands in the parent folder";
    EXPECT_EQ((std::vector<std::string>{kName + ".001", kName + ".002", kName + ".003",
                                        kName + ".bat", kName + ".sha256"}),
              ListFiles(folder));

    std::string script = ReadText(folder + "\\" + kName + ".bat");
    EXPECT_NE(std::string::npos, script.find("\r\necho " + kName + " Successfully Merged !!!\r\n"))
        << "no caret inside a character";
    EXPECT_EQ(0, RunProcess("cmd.exe /c \"\"" + kName + ".bat\"\"", folder));
    EXPECT_TRUE(ReadBytes(folder + "\\" + kName) == source) << "merged bytes differ";
}
