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
// What else the folder holds, or how the script is started.
enum class Setting {
    Plain,
    FolderOfName,        // a folder of the joined name
    StaleJoiningFolder,  // left over: a folder "<name>.joining"
    StaleJoiningFile,
    StaleHashingFolder,
    ReadOnly,     // the folder cannot be written
    DeepFolder,   // "<name>.joining" would pass 259 characters; the parts do not
    OtherFolder,  // started by its full path from another folder
    NoOS,         // OS cleared by the caller
    Recovery,     // the split wrote recovery volumes
};

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
const char kVelkLine[] = "VELK can also join the set from its first part, new data!&1.zip.001.";

const JoinCase kCases[] = {
    {"whole set, Windows 10 certutil", Damage::None, Hasher::Windows10, kJoined},
    {"whole set, Windows 7 certutil", Damage::None, Hasher::Windows7, kJoined},
    {"whole set, Wine's certutil prints no hash", Damage::None, Hasher::Wine, kJoined,
     Setting::Plain, "",
     "Could not check the contents of the parts here, certutil gives no SHA-256: each part is "
     "there and of its length."},
    {"part missing", Damage::Missing2, Hasher::Windows10, "Part 2 (new data!&1.zip.002) is missing.",
     Setting::Plain, "", kVelkLine},
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
    {"certutil fails for part 2 only, whole set", Damage::None, Hasher::Windows10, kJoined,
     Setting::Plain, ".002",
     "Could not check the contents of 1 of the 3 parts, the first part 2, new data!&1.zip.002: "
     "certutil gave no SHA-256 for them. Each is there and of its length."},
    {"a folder of the joined name", Damage::None, Hasher::Windows10,
     "There is a folder named new data!&1.zip here: rename or move it, then run this script again.",
     Setting::FolderOfName},
    {"a stale .joining folder", Damage::None, Hasher::Windows10,
     "new data!&1.zip.joining is in the way, left perhaps by an earlier join: move or "
     "rename it, then run this script again.",
     Setting::StaleJoiningFolder},
    {"a stale .joining file", Damage::None, Hasher::Windows10,
     "new data!&1.zip.joining is in the way, left perhaps by an earlier join: move or "
     "rename it, then run this script again.",
     Setting::StaleJoiningFile},
    {"a stale .hashing folder", Damage::None, Hasher::Windows10,
     "velk.hashing is in the way, left perhaps by an earlier join: move or rename it, then run "
     "this script again.",
     Setting::StaleHashingFolder},
    {"a folder that cannot be written", Damage::None, Hasher::Windows10,
     "This folder cannot be written: copy the parts and this script to a folder that can be, or "
     "join them elsewhere with VELK.",
     Setting::ReadOnly},
    {"a folder whose .joining path passes 259 characters", Damage::None, Hasher::Windows10,
     "The path of new data!&1.zip.joining here would pass 259 characters:",
     Setting::DeepFolder},
    {"started from another folder", Damage::None, Hasher::Windows10, kJoined, Setting::OtherFolder},
    {"OS cleared by the caller", Damage::None, Hasher::Windows10, kJoined, Setting::NoOS},
    {"part missing, recovery volumes written", Damage::Missing2, Hasher::Windows10,
     "The recovery volumes new data!&1.zip.par2 and new data!&1.zip.vol*.par2 can rebuild it,",
     Setting::Recovery, "", kVelkLine},
};

// The folder of the stand-in certutil, beside the test program.
std::string StandInFolder() {
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, sizeof path);
    *std::strrchr(path, '\\') = '\0';
    return std::string(path) + "\\standin";
}

// A test's change of an environment variable, undone when it goes.
class EnvSetting {
public:
    EnvSetting(const char* name, const char* value) : name_(name) {
        char old[32767];
        DWORD length = GetEnvironmentVariableA(name, old, sizeof old);
        had_ = length > 0 && length < sizeof old;
        if (had_) old_ = old;
        SetEnvironmentVariableA(name, value);
    }
    ~EnvSetting() { SetEnvironmentVariableA(name_, had_ ? old_.c_str() : nullptr); }

private:
    const char* name_;
    std::string old_;
    bool had_ = false;
};

class JoinCheckTest : public SplitTest {
protected:
    // Runs the script in `folder` under cmd /v:on, started from `from`, with the
    // hasher on the PATH and COPYCMD=/-Y (copy asks before it replaces a file; an
    // unanswered question fails the row by its time limit). Its exit code, and its
    // output in `output`.
    int RunScript(const JoinCase& row, const std::string& folder, std::string& output) {
        char path[32767];
        GetEnvironmentVariableA("PATH", path, sizeof path);
        EnvSetting onPath("PATH", row.hasher == Hasher::Wine
                                      ? path
                                      : (StandInFolder() + ";" + path).c_str());
        EnvSetting form("VELK_CERTUTIL_FORM", row.hasher == Hasher::Windows7 ? "7" : "10");
        EnvSetting fails("VELK_CERTUTIL_FAIL", row.failsOn);
        EnvSetting asks("COPYCMD", "/-Y");
        EnvSetting os("OS", row.setting == Setting::NoOS ? nullptr : "Windows_NT");
        const std::string out = sources_ / "out.txt";
        const std::string script = folder + "\\" + kName + ".bat";
        const bool elsewhere = row.setting == Setting::OtherFolder;
        int code = RunProcess("cmd.exe /v:on /c \"\"" + (elsewhere ? script : kName + std::string(".bat")) +
                                  "\" <nul >\"" + out + "\"\"",
                              elsewhere ? sources_.path() : folder, 60000);
        output = ReadText(out);
        return code;
    }
};

// The folder of the deep setting: the list's path 259 characters, "<name>.joining" 260.
std::string DeepFolder(const std::string& base) {
    std::string deep = base + "\\";
    return deep + std::string(236 - deep.size(), 'd');
}
}  // namespace

TEST_F(JoinCheckTest, TheScriptJoinsOnlyAWholeSetAndNamesTheFirstBadPart) {
    for (const JoinCase& row : kCases) {
        SCOPED_TRACE(row.label);
        RemoveTree(dest_.path());
        CreateDirectoryA(dest_.path().c_str(), nullptr);
        std::string folder = dest_.path();
        if (row.setting == Setting::DeepFolder) {
            folder = DeepFolder(dest_.path());
            ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr)) << folder;
        }
        std::vector<char> source = ChooseSource(kName, 30000, 10000, folder);
        MessageBoxAnswerer boxes;
        scriptRecoveryParts = row.setting == Setting::Recovery ? 1 : 0;
        const bool written = SplitFile() && WriteRunScript();
        scriptRecoveryParts = 0;
        ASSERT_TRUE(written) << boxes.Describe();
        const std::string joined = folder + "\\" + kName;
        const std::vector<char> old{'o', 'l', 'd'};
        std::string stale;  // what was there before and must stay
        switch (row.setting) {
        case Setting::FolderOfName: stale = joined; break;
        case Setting::StaleJoiningFolder:
        case Setting::StaleJoiningFile: stale = joined + ".joining"; break;
        case Setting::StaleHashingFolder: stale = folder + "\\velk.hashing"; break;
        default: break;
        }
        if (row.setting == Setting::StaleJoiningFile) {
            ASSERT_TRUE(WriteBytes(stale, old));
        } else if (!stale.empty()) {
            ASSERT_TRUE(CreateDirectoryA(stale.c_str(), nullptr));
            ASSERT_TRUE(WriteBytes(stale + "\\kept", old));
        }
        if (row.setting != Setting::FolderOfName) {
            ASSERT_TRUE(WriteBytes(joined, old));
        }
        const std::string part2 = folder + "\\" + PartName(kName, 2);
        const std::string part3 = folder + "\\" + PartName(kName, 3);
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
        // A read-only mount of the folder: the platform's own refusal, even to root.
        const std::string unixFolder = UnixPathOf(folder);
        if (row.setting == Setting::ReadOnly &&
            RunUnixCommand("mount --bind '" + unixFolder + "' '" + unixFolder + "' && mount -o " +
                           "remount,bind,ro '" + unixFolder + "' '" + unixFolder + "'") != 0) {
            std::printf("[  NOTE    ] row \"%s\" skipped: a read-only mount was refused here\n",
                        row.label);
            continue;
        }

        std::string output;
        int code = RunScript(row, folder, output);
        if (row.setting == Setting::ReadOnly) RunUnixCommand("umount '" + unixFolder + "'");
        if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
        EXPECT_NE(std::string::npos, output.find(std::string(row.says) + "\r\n"))
            << "expected the line: " << row.says << "\ncame:\n" << output;
        if (row.alsoSays != nullptr) {
            EXPECT_NE(std::string::npos, output.find(std::string(row.alsoSays) + "\r\n"))
                << "expected the line: " << row.alsoSays << "\ncame:\n" << output;
        }
        const bool joins = row.says == kJoined;
        EXPECT_EQ(joins, code == 0) << "exit code " << code;
        EXPECT_EQ(joins, output.find("Successfully Merged") != std::string::npos) << output;
        if (row.setting == Setting::FolderOfName) {
            EXPECT_EQ(std::vector<std::string>{"kept"}, ListFiles(joined)) << "the folder was touched";
        } else {
            EXPECT_TRUE(ReadBytes(joined) == (joins ? source : old))
                << (joins ? "the joined file differs from the source" : "the earlier file was touched");
        }
        if (row.setting == Setting::StaleJoiningFile) {
            EXPECT_TRUE(ReadBytes(stale) == old) << "the stale file was touched";
        } else if (!stale.empty() && row.setting != Setting::FolderOfName) {
            EXPECT_EQ(std::vector<std::string>{"kept"}, ListFiles(stale)) << "the stale folder was touched";
        }
        auto there = [](const std::string& path) {
            return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
        };
        EXPECT_EQ(stale == folder + "\\velk.hashing", there(folder + "\\velk.hashing"));
        EXPECT_EQ(stale == joined + ".joining", there(joined + ".joining"));
        if (joins && row.hasher == Hasher::Windows10 && row.setting == Setting::Plain &&
            *row.failsOn == '\0') {
            // Other systems check the same parts with the list alone.
            std::string command = "cd '" + UnixPathOf(dest_.path()) + "' && sha256sum -c '" +
                                  kName + ".sha256' >sha256sum.txt 2>&1";
            EXPECT_EQ(0, RunUnixCommand(command)) << ReadText(dest_ / "sha256sum.txt");
        }
    }
}
