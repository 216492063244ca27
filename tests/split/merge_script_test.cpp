#include "split/merge_script.h"
#include <cstdio>
#include <cstring>

#include "split/split_run.h"
#include "tests/split/split_fixture.h"
#include "tests/support/message_boxes.h"
#include "tests/support/test_drives.h"
#include "tests/support/unix_command.h"

namespace {
// What a user of the script knows: its opening lines, and the two lines that end it.
const char kOpening[] = "@echo off\r\necho VELK - Tresmal Ver 1.1\r\necho Merging Files ....\r\n";
const char kEnding[] =
    "\r\necho data.zip Successfully Merged !!!\r\n:velkend\r\necho Thank you for using VELK";

// The script's lines that start with `prefix`, in order.
std::vector<std::string> LinesStarting(const std::string& script, const std::string& prefix) {
    std::vector<std::string> lines;
    for (size_t at = 0; at < script.size();) {
        size_t end = script.find("\r\n", at);
        if (end == std::string::npos) end = script.size();
        if (script.compare(at, prefix.size(), prefix) == 0) lines.push_back(script.substr(at, end - at));
        at = end + 2;
    }
    return lines;
}

// A whole script for data.zip: the opening, the join into the temporary name, the
// ending, and nothing past its last byte.
void ExpectWholeScript(const std::string& script, unsigned parts) {
    EXPECT_EQ(kOpening, script.substr(0, sizeof kOpening - 1));
    ASSERT_GE(script.size(), sizeof kEnding);
    EXPECT_EQ(kEnding, script.substr(script.size() - (sizeof kEnding - 1)));
    std::vector<std::string> copies = LinesStarting(script, "copy /b \"");
    ASSERT_EQ(parts, copies.size());
    EXPECT_EQ("copy /b \"data.zip.001\" \"data.zip.joining\"", copies[0]);
    char last[80];
    std::snprintf(last, sizeof last, "copy /b \"data.zip.joining\"+\"data.zip.%03u\" \"data.zip.joining\"",
                  parts);
    if (parts > 1) {
        EXPECT_EQ(last, copies.back());
    }
    EXPECT_EQ(parts, LinesStarting(script, "set velkk=").size()) << "each part checked";
}

class MergeScriptTest : public SplitTest {
protected:
    // Sets up a run of the given part count without splitting anything.
    void PrepareScript(const std::string& name, DWORD parts, const std::string& destDir = "") {
        SetRun(sources_ / name, parts, 1, destDir.empty() ? dest_.path() : destDir);
        ASSERT_EQ(parts, appState.partCount);
    }
};
}  // namespace

TEST_F(MergeScriptTest, ThreePartsOfDataZipKeepTheLinesAUserKnows) {
    PrepareScript("data.zip", 3);
    MessageBoxAnswerer boxes;
    EXPECT_TRUE(WriteMergeScript());
    EXPECT_EQ(0u, boxes.Count()) << boxes.Describe();
    EXPECT_EQ(std::vector<std::string>{"data.zip.bat"}, ListFiles(dest_.path())) << "no digests, no list";
    ExpectWholeScript(ReadText(dest_ / "data.zip.bat"), 3);
    EXPECT_EQ(dest_.path() + "\\", appState.destDir);
}

TEST_F(MergeScriptTest, PartNumbersPast999GrowADigitAndTheScriptIsComplete) {
    for (DWORD parts : {1u, 1000u, 10001u}) {
        ScratchDir dest;
        PrepareScript("data.zip", parts, dest.path());
        ASSERT_TRUE(WriteMergeScript());
        ExpectWholeScript(ReadText(dest / "data.zip.bat"), parts);
    }
}

TEST_F(MergeScriptTest, APercentInTheNameIsDoubledAndCounted) {
    PrepareScript("100%_done.zip", 2);
    EXPECT_TRUE(WriteMergeScript());
    EXPECT_EQ(std::vector<std::string>{"100%_done.zip.bat"}, ListFiles(dest_.path()));
    std::string script = ReadText(dest_ / "100%_done.zip.bat");
    EXPECT_NE(std::string::npos,
              script.find("copy /b \"100%%_done.zip.joining\"+\"100%%_done.zip.002\" \"100%%_done.zip.joining\"\r\n"))
        << script;
    EXPECT_NE(std::string::npos, script.find("echo 100%%_done.zip Successfully"));
}

TEST_F(MergeScriptTest, ANameBeyondAsciiIsWrittenInTheOemCodePage) {
    const std::string ansi = "r\xE9sum\xE9.zip";  // résumé.zip in the ANSI code page
    char oem[32];
    CharToOemA(ansi.c_str(), oem);
    PrepareScript(ansi, 2);
    EXPECT_TRUE(WriteMergeScript());
    EXPECT_TRUE(FileExists(dest_ / (ansi + ".bat"))) << "the script's own name stays ANSI";
    std::string script = ReadText(dest_ / (ansi + ".bat"));
    EXPECT_NE(std::string::npos, script.find("copy /b \"" + std::string(oem) + ".001\""));
    if (GetACP() != GetOEMCP()) {
        EXPECT_EQ(std::string::npos, script.find(ansi)) << "the ANSI spelling is not in the script";
    }
}

TEST_F(MergeScriptTest, AnExistingScriptIsReplaced) {
    ASSERT_TRUE(WritePattern(dest_ / "data.zip.bat", 5000));
    PrepareScript("data.zip", 3);
    EXPECT_TRUE(WriteMergeScript());
    ExpectWholeScript(ReadText(dest_ / "data.zip.bat"), 3);
}

TEST_F(MergeScriptTest, AScriptThatCannotBeCreatedSaysSo) {
    // A folder of the script's name, and a path beyond 259 characters, never formed.
    std::string deep = dest_.path() + "\\";
    deep += std::string(259 - 12 - deep.size(), 'd');  // deep\data.zip.bat: 260 characters
    ASSERT_TRUE(CreateDirectoryA(deep.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA((dest_ / "data.zip.bat").c_str(), nullptr));
    for (const std::string& dir : {dest_.path(), deep}) {
        PrepareScript("data.zip", 3, dir);
        MessageBoxAnswerer boxes;
        boxes.Then(IDOK);
        EXPECT_FALSE(WriteMergeScript()) << dir;
        ASSERT_EQ(1u, boxes.Count()) << boxes.Describe();
        EXPECT_EQ(std::string(dir == deep ? "Cannot create the File: its path is too long\n"
                                          : "Error Creating File\n") +
                      dir + "\\data.zip.bat",
                  boxes.Last().text);
    }
    EXPECT_TRUE(ListFiles(deep).empty());
}

// No Windows 95/98 interpreter runs here: its path is read. COMMAND.COM reads 127
// bytes of a line and sets no exit code for copy, so its lines must fit, it must
// never delete or replace a file, and never claim a join it cannot check.
TEST_F(MergeScriptTest, TheWindows9xPathFitsItsLinesAndNeverReplacesOrClaimsSuccess) {
    scriptRecoveryParts = 1;
    // Names as the script spells them, % doubled; 0 parts joined: too long for such lines.
    for (auto row : {std::make_pair("Holiday photos 2023 (final).zip", 3u), {"a&b 100%%.zip", 1000u},
                     {"A name of sixty characters or so, which is far, far too long.zip", 0u}}) {
        SCOPED_TRACE(row.first);
        std::string name = row.first, file = name;
        if (file.find("%%") != std::string::npos) file.erase(file.find("%%"), 1);
        ScratchDir dest;
        PrepareScript(file, row.second ? row.second : 2, dest.path());
        ASSERT_TRUE(WriteMergeScript());
        std::string script = ReadText(dest / (file + ".bat"));
        size_t at = script.find("echo velk>nul & goto velknt\r\n"), to = script.find(":velknt\r\n");
        const size_t guard = script.find("if exist \"" + name + "\" goto velk9have\r\n", at);
        unsigned copies = 0;
        for (size_t end; at < to; at = end + 2) {
            end = script.find("\r\n", at);
            std::string line = script.substr(at, end - at);
            EXPECT_LE(line.size(), 127u) << line;
            for (const char* never : {"del ", "ren ", "move ", "^", "Successfully Merged"}) {
                EXPECT_EQ(std::string::npos, line.find(never)) << line;
            }
            copies += line.compare(0, 8, "copy /b ") == 0 && guard < at;  // never before the check
        }
        EXPECT_EQ(row.second, copies);
        EXPECT_EQ(row.second != 0, script.find("the result could not be checked") < to);
        EXPECT_EQ(row.second != 0, script.find(".par2") < to);
    }
    scriptRecoveryParts = 0;
}

// Lengths past 2 and 4 GiB are written whole: the script compares %~z with them as
// text, never as cmd's 32-bit numbers. A sparse part of 4294967295 bytes passes its
// check when run, and the short second part is named (no gigabytes written).
TEST_F(MergeScriptTest, LengthsPast2And4GiBAreComparedAsWholeText) {
    PrepareScript("big.bin", 1);
    ASSERT_TRUE(WriteMergeScript(12884901888ull, 6442450944ull, 2));
    EXPECT_NE(std::string::npos, ReadText(dest_ / "big.bin.bat").find("\"==\"6442450944\" (set"));
    ASSERT_TRUE(MakeSizedFile(dest_ / "big.bin.001", 4294967295ull));
    ASSERT_TRUE(WritePattern(dest_ / "big.bin.002", 9));
    ASSERT_TRUE(WriteMergeScript(4294967305ull, 4294967295ull, 2));
    ASSERT_EQ(1, RunProcess("cmd.exe /c \"big.bin.bat >out.txt\"", dest_.path(), 60000));
    EXPECT_NE(std::string::npos, ReadText(dest_ / "out.txt").find("Part 2 (big.bin.002) has the wrong "
                                                                 "length: 9 bytes, not 10.\r\n"));
    EXPECT_FALSE(FileExists(dest_ / "big.bin"));
}

TEST_F(MergeScriptTest, OnAFullFloppyThePromptNamesTheScriptsSize) {
    SKIP_WITHOUT_FLOPPY();
    FloppyDrive floppy;
    ASSERT_TRUE(WritePattern("A:\\full.bin", static_cast<size_t>(floppy.FreeBytes())));
    PrepareScript("data.zip", 3, "A:\\");
    MessageBoxAnswerer boxes;
    boxes.ThenRun([&](const SeenBox&) { floppy.InsertEmptyDisk(); }, IDRETRY);
    EXPECT_TRUE(WriteMergeScript());
    ASSERT_EQ(1u, boxes.Count()) << boxes.Describe();
    EXPECT_EQ("Insert another Disk which has atleast " + std::to_string(FileSize("A:\\data.zip.bat")) +
                  " bytes free \n                            and retry",
              boxes.Last().text);
    ExpectWholeScript(ReadText("A:\\data.zip.bat"), 3);
}

TEST_F(MergeScriptTest, CancelOnAFullDiskWritesNoScript) {
    SKIP_WITHOUT_FLOPPY();
    FloppyDrive floppy;
    ASSERT_TRUE(WritePattern("A:\\full.bin", static_cast<size_t>(floppy.FreeBytes())));
    PrepareScript("data.zip", 3, "A:\\");
    MessageBoxAnswerer boxes;
    boxes.Then(IDCANCEL).Then(IDOK);
    EXPECT_FALSE(WriteMergeScript());
    ASSERT_EQ(2u, boxes.Count()) << boxes.Describe();
    EXPECT_EQ("Cancelling File Split", boxes.Last().text);
    EXPECT_FALSE(FileExists("A:\\data.zip.bat"));
}

// The real proof: split real files, run the script in the command interpreter
// in the folder of the parts, and compare what it rebuilt with the source.
class MergeInInterpreterTest : public SplitTest {
protected:
    void SplitAndMerge(const std::string& name, size_t size, DWORD splitSize, DWORD parts) {
        std::vector<char> source = ChooseSource(name, size, splitSize);
        ASSERT_EQ(parts, appState.partCount);
        MessageBoxAnswerer boxes;
        ASSERT_TRUE(SplitFile());
        ASSERT_TRUE(WriteMergeScript());
        ASSERT_EQ(0u, boxes.Count()) << boxes.Describe();
        ASSERT_EQ(parts + 2, ListFiles(dest_.path()).size()) << "the parts, the script, the list";
        // The doubled outer quotes keep the interpreter from reading & or ( in
        // the script's name; it strips the outer pair and runs the quoted name.
        int code = RunProcess("cmd.exe /c \"\"" + name + ".bat\"\"", dest_.path());
        EXPECT_NE(-1, code);
        ASSERT_TRUE(FileExists(dest_ / name)) << "no merged file; interpreter exit " << code;
        EXPECT_EQ(static_cast<long long>(size), FileSize(dest_ / name));
        EXPECT_TRUE(ReadBytes(dest_ / name) == source) << name << ": merged bytes differ";
        // The checksum list, as other systems read it: every part's line, its digest.
        EXPECT_EQ(0, RunUnixCommand("cd '" + UnixPathOf(dest_.path()) +
                                    "' && sha256sum -c --quiet *.sha256"))
            << name << ": the list does not check";
    }
};

TEST_F(MergeInInterpreterTest, JoinsSeveralPartsOfANameWithBlanks) {
    SplitAndMerge("my data file.zip", 3000000, 1457664, 3);
}

TEST_F(MergeInInterpreterTest, JoinsANameWithAmpersandAndParentheses) {
    SplitAndMerge("a&b (1).zip", 250000, 100000, 3);
}

TEST_F(MergeInInterpreterTest, JoinsASinglePart) { SplitAndMerge("one.bin", 5000, 1457664, 1); }

TEST_F(MergeInInterpreterTest, JoinsMoreThan999Parts) { SplitAndMerge("many.bin", 1003, 1, 1003); }

TEST_F(MergeInInterpreterTest, JoinsANameWithPercentSigns) {
    SplitAndMerge("100%_done%x%.zip", 30000, 10000, 3);
}

TEST_F(MergeInInterpreterTest, JoinsANameBeyondAscii) {
    SplitAndMerge("r\xE9sum\xE9.zip", 30000, 10000, 3);
}

// Outside quotes an & starts another command: the closing echo line must show
// such a name, not run what follows the &.
TEST_F(MergeInInterpreterTest, AnAmpersandInTheNameRunsNoCommandFromTheEchoLine) {
    SplitAndMerge("x&mkdir pwned&y.zip", 30000, 10000, 3);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((dest_ / "pwned").c_str()))
        << "the script ran the text after the &";
    std::string script = ReadText(dest_ / "x&mkdir pwned&y.zip.bat");
    EXPECT_NE(std::string::npos,
              script.find("\r\necho x^&mkdir pwned^&y.zip Successfully Merged !!!\r\n"));
    EXPECT_EQ(static_cast<long long>(script.size()), FileSize(dest_ / "x&mkdir pwned&y.zip.bat"));
}

// Names the OEM code page cannot spell exactly (ANSI 1252, OEM 437 here): best fit
// would make “ a quote that ends the quoting and € a wildcard. No script is
// written; one box tells how to join the parts, and its lines, typed at a prompt
// (run by cmd /c here), rebuild the source.
TEST_F(MergeInInterpreterTest, ANameWithoutAnExactOemSpellingGetsNoScriptButTheWayToJoin) {
    const std::string names[] = {"\x93x&mkdir pwned&y\x94.zip", "budget \x80.zip",
                                 "\x93quoted\x94 name.zip"};
    for (const std::string& name : names) {
        ScratchDir dest;
        std::vector<char> source = ChooseSource(name, 30000, 10000, dest.path());
        MessageBoxAnswerer boxes;
        boxes.Then(IDOK);
        ASSERT_TRUE(SplitFile());
        EXPECT_TRUE(WriteMergeScript()) << "the parts are all there: the split goes on";
        ASSERT_EQ(1u, boxes.Count()) << boxes.Describe();
        EXPECT_EQ(kWindowTitle, boxes.Last().caption);
        EXPECT_EQ(static_cast<UINT>(MB_OK | MB_ICONWARNING), boxes.Last().style());
        EXPECT_FALSE(FileExists(dest / (name + ".bat"))) << name;
        EXPECT_TRUE(FileExists(dest / (name + ".sha256"))) << name << ": the list, in UTF-8";
        EXPECT_EQ(4u, ListFiles(dest.path()).size()) << "the parts and the list, no script";

        const std::string text = boxes.Last().text;
        EXPECT_NE(std::string::npos, text.find("No merge script was written")) << text;
        int lines = 0;
        for (size_t at = text.find("copy /b "); at != std::string::npos;
             at = text.find("copy /b ", at + 1)) {
            std::string line = text.substr(at, text.find('\n', at) - at);
            EXPECT_EQ(0, RunProcess("cmd.exe /c " + line, dest.path())) << line;
            ++lines;
        }
        EXPECT_EQ(3, lines) << text;
        EXPECT_TRUE(ReadBytes(dest / name) == source) << name << ": joined bytes differ";
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((dest / "pwned").c_str())) << name;
    }
}
