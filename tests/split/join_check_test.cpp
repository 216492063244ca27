// The merge script checks every part before it joins: sets of parts as they reach
// another machine, run in the real interpreter with delayed expansion on, beside a
// file of the joined name that must stay as it was whenever the join fails.
#include <cstdio>
#include <cstring>

#include "split/merge_script.h"
#include "split/split_run.h"
#include "tests/split/split_fixture.h"
#include "tests/support/message_boxes.h"
#include "tests/support/unix_command.h"

namespace {
enum class Damage { None, Missing2, Short3, Byte2, Other3, Unreadable2 };
enum class Hasher { Windows10, Windows7, Wine };
enum class Setting { Plain, FolderOfName, StaleJoiningFolder, StaleJoiningFile, StaleHashingFolder,
                     ReadOnly, DeepFolder, OtherFolder, NoOS, Recovery };  // the folder, the start

struct JoinCase {
    const char* label;
    Damage damage;
    Hasher hasher;
    const char* says;  // a line of the script's output; joined when it is the success line
    Setting setting = Setting::Plain;
    const char* failsOn = "";  // certutil fails for the part of this ending
    const char* alsoSays = nullptr;
};

const char kName[] = "new data!&1.zip";  // ! vanishes under delayed expansion, & runs a command
const char kJoined[] = "new data!&1.zip Successfully Merged !!!";
const char kVelk[] = "VELK can also join the set from its first part, new data!&1.zip.001.";
#define IN_WAY " is in the way, left perhaps by an earlier join: move or rename it, then run this script again."

const JoinCase kCases[] = {
    {"whole set, Windows 10 certutil", Damage::None, Hasher::Windows10, kJoined},
    {"whole set, Windows 7 certutil", Damage::None, Hasher::Windows7, kJoined},
    {"whole set, Wine's certutil prints no hash", Damage::None, Hasher::Wine, kJoined, Setting::Plain, "",
     "Could not check the contents of the parts here, certutil gives no SHA-256: each part is "
     "there and of its length."},
    {"part missing", Damage::Missing2, Hasher::Windows10, "Part 2 (new data!&1.zip.002) is missing.",
     Setting::Plain, "", kVelk},
    {"part short", Damage::Short3, Hasher::Windows10,
     "Part 3 (new data!&1.zip.003) has the wrong length: 9999 bytes, not 10000."},
    {"part damaged", Damage::Byte2, Hasher::Windows7,
     "Part 2 (new data!&1.zip.002) is damaged: its contents differ from the part that was split."},
    {"part of another split", Damage::Other3, Hasher::Windows10,
     "Part 3 (new data!&1.zip.003) is damaged: its contents differ from the part that was split."},
    {"part unreadable when copied", Damage::Unreadable2, Hasher::Windows10,
     "Part 2 (new data!&1.zip.002) could not be copied."},
    {"certutil fails for part 1 only, part 3 of another split", Damage::Other3, Hasher::Windows10,
     "Part 3 (new data!&1.zip.003) is damaged: its contents differ from the part that was split.",
     Setting::Plain, ".001"},
    {"certutil fails for part 2 only", Damage::None, Hasher::Windows10, kJoined, Setting::Plain, ".002",
     "Could not check the contents of 1 of the 3 parts, the first part 2, new data!&1.zip.002: "
     "certutil gave no SHA-256 for them. Each is there and of its length."},
    {"a folder of the joined name", Damage::None, Hasher::Windows10,
     "There is a folder named new data!&1.zip here: rename or move it, then run this script again.",
     Setting::FolderOfName},
    {"a stale .joining folder", Damage::None, Hasher::Windows10, "new data!&1.zip.joining" IN_WAY,
     Setting::StaleJoiningFolder},
    {"a stale .joining file", Damage::None, Hasher::Windows10, "new data!&1.zip.joining" IN_WAY,
     Setting::StaleJoiningFile},
    {"a stale .hashing folder", Damage::None, Hasher::Windows10, "velk.hashing" IN_WAY,
     Setting::StaleHashingFolder},
    {"a folder that cannot be written", Damage::None, Hasher::Windows10,
     "This folder cannot be written: copy the parts and this script to a folder that can be, or "
     "join them elsewhere with VELK.", Setting::ReadOnly},
    {"a .joining path past 259 characters", Damage::None, Hasher::Windows10,
     "The path of new data!&1.zip.joining here would pass 259 characters:", Setting::DeepFolder},
    {"started from another folder", Damage::None, Hasher::Windows10, kJoined, Setting::OtherFolder},
    {"OS cleared by the caller", Damage::None, Hasher::Windows10, kJoined, Setting::NoOS},
    {"part missing, recovery volumes written", Damage::Missing2, Hasher::Windows10,
     "The recovery volumes new data!&1.zip.par2 and new data!&1.zip.vol*.par2 can rebuild it,",
     Setting::Recovery, "", kVelk},
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
    // Runs the script in `folder` under cmd /v:on (from another folder by its full path
    // where the row says so), with the hasher on the PATH and COPYCMD=/-Y: copy would
    // ask before it replaces a file, and a question unanswered fails the row by its
    // time limit. Its exit code, and its output in `output`.
    int RunScript(const JoinCase& row, const std::string& folder, std::string& output) {
        char path[32767];
        GetEnvironmentVariableA("PATH", path, sizeof path);
        const std::string saved = path;
        if (row.hasher != Hasher::Wine) {
            SetEnvironmentVariableA("PATH", (StandInFolder() + ";" + saved).c_str());
        }
        SetEnvironmentVariableA("VELK_CERTUTIL_FORM", row.hasher == Hasher::Windows7 ? "7" : "10");
        SetEnvironmentVariableA("VELK_CERTUTIL_FAIL", row.failsOn);
        SetEnvironmentVariableA("OS", row.setting == Setting::NoOS ? nullptr : "Windows_NT");
        const bool elsewhere = row.setting == Setting::OtherFolder;
        const std::string out = sources_ / "out.txt";
        int code = RunProcess("cmd.exe /v:on /c \"\"" + (elsewhere ? folder + "\\" : "") + kName +
                                  ".bat\" <nul >\"" + out + "\"\"",
                              elsewhere ? sources_.path() : folder, 60000);
        SetEnvironmentVariableA("PATH", saved.c_str());
        output = ReadText(out);
        return code;
    }
};
}  // namespace

TEST_F(JoinCheckTest, TheScriptJoinsOnlyAWholeSetAndNamesTheFirstBadPart) {
    SetEnvironmentVariableA("COPYCMD", "/-Y");
    for (const JoinCase& row : kCases) {
        SCOPED_TRACE(row.label);
        RemoveTree(dest_.path());
        CreateDirectoryA(dest_.path().c_str(), nullptr);
        // Deep: the list's path is 259 characters, "<name>.joining" 260 (no damage there).
        const std::string folder = dest_.path() + (row.setting != Setting::DeepFolder ? ""
                                   : "\\" + std::string(235 - dest_.path().size(), 'd'));
        CreateDirectoryA(folder.c_str(), nullptr);
        std::vector<char> source = ChooseSource(kName, 30000, 10000, folder);
        MessageBoxAnswerer boxes;
        scriptRecoveryParts = row.setting == Setting::Recovery ? 1 : 0;
        ASSERT_TRUE(SplitFile() && WriteMergeScript()) << boxes.Describe();
        const std::string joined = folder + "\\" + kName, hashing = folder + "\\velk.hashing";
        const std::vector<char> old{'o', 'l', 'd'};
        // What was there before and must stay: a file of the name (or a folder of it,
        // or a left-over file or folder), each holding "old".
        const Setting at = row.setting;
        const std::string stale = at == Setting::FolderOfName ? joined
                                  : at == Setting::StaleHashingFolder ? hashing
                                  : at == Setting::StaleJoiningFolder || at == Setting::StaleJoiningFile
                                      ? joined + ".joining" : "";
        const bool inFolder = !stale.empty() && at != Setting::StaleJoiningFile;
        ASSERT_TRUE(!inFolder || CreateDirectoryA(stale.c_str(), nullptr));
        ASSERT_TRUE(stale.empty() || WriteBytes(stale + (inFolder ? "\\kept" : ""), old));
        ASSERT_TRUE(stale == joined || WriteBytes(joined, old));
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
        // Read-only by a mount: the platform's own refusal, even to root.
        const std::string unix = "'" + UnixPathOf(folder) + "'";
        if (row.setting == Setting::ReadOnly &&
            RunUnixCommand("mount --bind " + unix + " " + unix + " && mount -o remount,bind,ro " + unix) != 0) {
            std::printf("[  NOTE    ] row \"%s\" skipped: a read-only mount was refused\n", row.label);
            continue;
        }

        std::string output;
        int code = RunScript(row, folder, output);
        if (row.setting == Setting::ReadOnly) RunUnixCommand("umount " + unix);
        if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
        for (const char* line : {row.says, row.alsoSays ? row.alsoSays : row.says})
            EXPECT_NE(std::string::npos, output.find(std::string(line) + "\r\n")) << line << "\n" << output;
        const bool joins = row.says == kJoined;
        EXPECT_EQ(joins, code == 0) << "exit code " << code;
        EXPECT_EQ(joins, output.find("Successfully Merged") != std::string::npos) << output;
        EXPECT_TRUE(stale == joined || ReadBytes(joined) == (joins ? source : old))
            << (joins ? "the joined file differs from the source" : "the earlier file was touched");
        EXPECT_TRUE(stale.empty() || ReadBytes(stale + (inFolder ? "\\kept" : "")) == old);
        for (const std::string& own : {joined + ".joining", hashing}) {
            EXPECT_EQ(own == stale, GetFileAttributesA(own.c_str()) != INVALID_FILE_ATTRIBUTES) << own;
        }
        if (joins && row.hasher == Hasher::Windows10 && row.setting == Setting::Plain) {
            // Other systems check the same parts with the list alone.
            std::string command = "cd '" + UnixPathOf(dest_.path()) + "' && sha256sum -c '" +
                                  kName + ".sha256' >sha256sum.txt 2>&1";
            EXPECT_EQ(0, RunUnixCommand(command)) << ReadText(dest_ / "sha256sum.txt");
        }
    }
    scriptRecoveryParts = 0;
}
