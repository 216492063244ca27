// The merge script checks every part before it joins: sets of parts as they reach
// another machine, run in the real interpreter with delayed expansion on, beside a
// file of the joined name that must stay as it was whenever the join fails.
#include <cstring>

#include "split/merge_script.h"
#include "split/split_run.h"
#include "tests/split/split_fixture.h"
#include "tests/support/message_boxes.h"
#include "tests/support/unix_command.h"

namespace {
enum class Damage { None, Missing2, Short3, Byte2, Other3, Unreadable2 };
enum class Hasher { Windows10, Windows7, Wine };

struct JoinCase {
    const char* label;
    Damage damage;
    Hasher hasher;
    const char* says;  // a line of the script's output; joined when it is the success line
};

const char kName[] = "new data!&1.zip";  // ! vanishes under delayed expansion, & runs a command

const JoinCase kCases[] = {
    {"whole set, Windows 10 certutil", Damage::None, Hasher::Windows10,
     "new data!&1.zip Successfully Merged !!!"},
    {"whole set, Windows 7 certutil", Damage::None, Hasher::Windows7,
     "new data!&1.zip Successfully Merged !!!"},
    {"whole set, Wine's certutil prints no hash", Damage::None, Hasher::Wine,
     "Could not check the contents of the parts here, certutil gives no SHA-256: each part is "
     "there and of its length."},
    {"part missing", Damage::Missing2, Hasher::Windows10, "Part 2 (new data!&1.zip.002) is missing."},
    {"part short", Damage::Short3, Hasher::Windows10,
     "Part 3 (new data!&1.zip.003) has the wrong length: 9999 bytes, not 10000."},
    {"part damaged", Damage::Byte2, Hasher::Windows7,
     "Part 2 (new data!&1.zip.002) is damaged: its contents differ from the part that was split."},
    {"part of another split", Damage::Other3, Hasher::Windows10,
     "Part 3 (new data!&1.zip.003) is damaged: its contents differ from the part that was split."},
    {"part unreadable when copied", Damage::Unreadable2, Hasher::Windows10,
     "Part 2 (new data!&1.zip.002) could not be copied."},
};

// The folder of the stand-in certutil, beside the test program.
std::string StandInFolder() {
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, sizeof path);
    *std::strrchr(path, '\\') = '\0';
    return std::string(path) + "\\standin";
}

class JoinCheckTest : public SplitTest {
protected:
    // Runs the script under cmd /v:on with the hasher on the PATH; its exit code,
    // and its output in `output`.
    int RunScript(Hasher hasher, std::string& output) {
        char path[32767];
        GetEnvironmentVariableA("PATH", path, sizeof path);
        const std::string saved = path;
        if (hasher != Hasher::Wine) {
            SetEnvironmentVariableA("PATH", (StandInFolder() + ";" + saved).c_str());
        }
        SetEnvironmentVariableA("VELK_CERTUTIL_FORM", hasher == Hasher::Windows7 ? "7" : "10");
        int code = RunProcess(std::string("cmd.exe /v:on /c \"\"") + kName + ".bat\" >out.txt\"",
                              dest_.path());
        SetEnvironmentVariableA("PATH", saved.c_str());
        output = ReadText(dest_ / "out.txt");
        return code;
    }
};
}  // namespace

TEST_F(JoinCheckTest, TheScriptJoinsOnlyAWholeSetAndNamesTheFirstBadPart) {
    for (const JoinCase& row : kCases) {
        SCOPED_TRACE(row.label);
        RemoveTree(dest_.path());
        CreateDirectoryA(dest_.path().c_str(), nullptr);
        std::vector<char> source = ChooseSource(kName, 30000, 10000);
        MessageBoxAnswerer boxes;
        ASSERT_TRUE(SplitFile() && WriteMergeScript()) << boxes.Describe();
        ASSERT_TRUE(WriteBytes(dest_ / kName, {'o', 'l', 'd'}));
        const std::string part2 = dest_ / PartName(kName, 2), part3 = dest_ / PartName(kName, 3);
        std::vector<char> bytes = ReadBytes(part2);
        switch (row.damage) {
        case Damage::None: break;
        case Damage::Missing2: DeleteFileA(part2.c_str()); break;
        case Damage::Short3:
            bytes = ReadBytes(part3);
            bytes.pop_back();
            WriteBytes(part3, bytes);
            break;
        case Damage::Byte2:
            bytes[5000] ^= 1;
            WriteBytes(part2, bytes);
            break;
        case Damage::Other3: WritePattern(part3, 10000, 99); break;
        case Damage::Unreadable2: break;
        }
        // Held open without sharing, part 2 is listed but cannot be read.
        HANDLE held = row.damage != Damage::Unreadable2
                          ? INVALID_HANDLE_VALUE
                          : CreateFileA(part2.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);

        std::string output;
        int code = RunScript(row.hasher, output);
        if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
        EXPECT_NE(std::string::npos, output.find(std::string(row.says) + "\r\n"))
            << "expected the line: " << row.says << "\ncame:\n" << output;
        const bool joins = row.damage == Damage::None;
        EXPECT_EQ(joins, code == 0) << "exit code " << code;
        EXPECT_EQ(joins, output.find("Successfully Merged") != std::string::npos) << output;
        EXPECT_TRUE(ReadBytes(dest_ / kName) == (joins ? source : std::vector<char>{'o', 'l', 'd'}))
            << (joins ? "the joined file differs from the source" : "the earlier file was touched");
        EXPECT_FALSE(FileExists(dest_ / kName + ".hashing"));
        EXPECT_FALSE(FileExists(dest_ / kName + ".joining"));
        if (joins && row.hasher == Hasher::Windows10) {
            // Other systems check the same parts with the list alone.
            std::string command = "cd '" + UnixPathOf(dest_.path()) + "' && sha256sum -c '" +
                                  kName + ".sha256' >sha256sum.txt 2>&1";
            EXPECT_EQ(0, RunUnixCommand(command)) << ReadText(dest_ / "sha256sum.txt");
        }
    }
}
