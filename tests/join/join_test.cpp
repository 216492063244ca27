// The join of sets the split wrote, as they reach another machine: whole, with a
// part missing, short, damaged or from another split, with a list that is not
// theirs; from a floppy drive with the disks changed at each prompt; cancelled and
// ended by a log-off. Nothing but the joined file may ever stay in the destination.
#include "join/join_run.h"

#include <shlwapi.h>

#include <functional>
#include <string>
#include <vector>

#include "split/merge_script.h"
#include "split/split_run.h"
#include "tests/support/message_boxes.h"
#include "tests/support/test_drives.h"
#include "tests/support/test_files.h"

namespace {
constexpr DWORD kPart = 10000;
const char kCancel[] = "Cancelling File Join";

class JoinTest : public ::testing::Test {
protected:
    void SetUp() override { ResetAppState(); }
    void TearDown() override {
        splitProgressHook = nullptr;
        ResetAppState();
    }

    // Splits `size` patterned bytes named `name` into parts of `part` bytes, with the
    // script and the list, into `folder`; the bytes come back.
    std::vector<char> MakeSet(const std::string& folder, const std::string& name, size_t size,
                              DWORD part = kPart, unsigned seed = 3) {
        std::vector<char> bytes = PatternBytes(size, seed);
        EXPECT_TRUE(WriteBytes(sources_ / name, bytes));
        CopyText(appState.sourcePath, (sources_ / name).c_str());
        CopyText(appState.destDir, folder.c_str());
        appState.fileSize = static_cast<DWORD>(size);
        appState.splitSize = part;
        ComputePartCount();
        EXPECT_TRUE(SplitFile() && WriteMergeScript());
        return bytes;
    }
    // Points the join at the first part of `name` in `folder`, into out_.
    void ChooseFirstPart(const std::string& folder, const std::string& name,
                         const std::string& dest = "") {
        CopyText(appState.sourcePath, (folder + "\\" + name + ".001").c_str());
        CopyText(appState.destDir, (dest.empty() ? out_.path() : dest).c_str());
    }

    ScratchDir sources_;
    ScratchDir parts_;
    ScratchDir out_;
};

std::string Texts(const MessageBoxAnswerer& boxes) { return boxes.Describe(); }

TEST_F(JoinTest, AWholeSetJoinsByteForByteAndOnlyTheJoinedFileStays) {
    std::vector<char> bytes = MakeSet(parts_.path(), "data.zip", 25000);
    ChooseFirstPart(parts_.path(), "data.zip");
    MessageBoxAnswerer boxes;
    EXPECT_TRUE(JoinFile()) << Texts(boxes);
    EXPECT_EQ(0u, boxes.Count()) << Texts(boxes);
    EXPECT_TRUE(ReadBytes(out_ / "data.zip") == bytes);
    EXPECT_EQ(std::vector<std::string>{"data.zip"}, ListFiles(out_.path()));
    EXPECT_EQ(3u, appState.partCount);
    EXPECT_EQ(25000u, appState.fileSize);
    EXPECT_FALSE(JoinedWithoutList());
}

// Bad sets: what is done to the parts or the list, and the one box that says it.
struct BadSet {
    const char* label;
    std::function<void(const std::string& folder)> spoil;
    const char* says;
};

HANDLE heldPart = INVALID_HANDLE_VALUE;

void Cut(const std::string& path, size_t size) {
    std::vector<char> bytes = ReadBytes(path);
    bytes.resize(size);
    WriteBytes(path, bytes);
}

const BadSet kBadSets[] = {
    {"part missing", [](const std::string& f) { DeleteFileA((f + "\\data.zip.002").c_str()); },
     "Part 2 (data.zip.002) is missing."},
    {"last part missing beside the list",
     [](const std::string& f) { DeleteFileA((f + "\\data.zip.003").c_str()); },
     "Part 3 (data.zip.003) is missing."},
    {"part short", [](const std::string& f) { Cut(f + "\\data.zip.002", 9999); },
     "Part 2 (data.zip.002) has the wrong length: 9999 bytes, not 10000."},
    {"part short without the list",
     [](const std::string& f) {
         DeleteFileA((f + "\\data.zip.sha256").c_str());
         Cut(f + "\\data.zip.002", 9999);
     },
     "Part 2 (data.zip.002) has the wrong length: 9999 bytes, not 10000."},
    {"last part longer than the first",
     [](const std::string& f) { WritePattern(f + "\\data.zip.003", 10001); },
     "Part 3 (data.zip.003) has the wrong length: 10001 bytes, not 10000."},
    {"part damaged",
     [](const std::string& f) {
         std::vector<char> bytes = ReadBytes(f + "\\data.zip.002");
         bytes[1234] ^= 1;
         WriteBytes(f + "\\data.zip.002", bytes);
     },
     "Part 2 (data.zip.002) is damaged: its contents differ from the part that was split."},
    {"part of another split of the same length",
     [](const std::string& f) { WriteBytes(f + "\\data.zip.003", PatternBytes(5000, 77)); },
     "Part 3 (data.zip.003) is damaged: its contents differ from the part that was split."},
    {"part held open by another program",
     [](const std::string& f) {
         heldPart = CreateFileA((f + "\\data.zip.002").c_str(), GENERIC_READ, 0, nullptr,
                                OPEN_EXISTING, 0, nullptr);
     },
     "Part 2 (data.zip.002) cannot be read."},
    {"list in another format",
     [](const std::string& f) {
         std::string list = ReadText(f + "\\data.zip.sha256");
         for (size_t at = list.find("  "); at != std::string::npos; at = list.find("  ", at + 2)) {
             list[at + 1] = '*';
         }
         WriteBytes(f + "\\data.zip.sha256", std::vector<char>(list.begin(), list.end()));
     },
     "The list data.zip.sha256 beside the parts is not the list of this set's parts.\n"
     "Nothing was joined."},
    {"list naming other files",
     [](const std::string& f) {
         std::string list = ReadText(f + "\\data.zip.sha256");
         list.replace(list.find("data.zip.002"), 12, "..\\secret.02");
         WriteBytes(f + "\\data.zip.sha256", std::vector<char>(list.begin(), list.end()));
     },
     "The list data.zip.sha256 beside the parts is not the list of this set's parts.\n"
     "Nothing was joined."},
};

TEST_F(JoinTest, TheFirstBadPartIsNamedAndCancelLeavesTheDestinationAsItWas) {
    for (const BadSet& bad : kBadSets) {
        SCOPED_TRACE(bad.label);
        ScratchDir folder;
        MakeSet(folder.path(), "data.zip", 25000);
        bad.spoil(folder.path());
        ASSERT_TRUE(WriteBytes(out_ / "data.zip", {'o', 'l', 'd'}));
        ChooseFirstPart(folder.path(), "data.zip");
        bool refusedBeforeCopying = std::string(bad.says).find("list") != std::string::npos;
        MessageBoxAnswerer boxes;
        if (refusedBeforeCopying) {
            boxes.Then(IDOK);
        } else {
            boxes.Then(IDYES).Then(IDCANCEL).Then(IDOK);
        }
        EXPECT_FALSE(JoinFile());
        ASSERT_GE(boxes.Count(), 1u) << Texts(boxes);
        const SeenBox& named = boxes.Seen()[refusedBeforeCopying ? 0 : 1];
        EXPECT_EQ(bad.says, named.text) << Texts(boxes);
        EXPECT_EQ(nullptr, named.owner);
        if (!refusedBeforeCopying) {
            EXPECT_EQ(static_cast<UINT>(MB_RETRYCANCEL | MB_ICONERROR), named.style());
            ASSERT_EQ(3u, boxes.Count()) << Texts(boxes);
            EXPECT_EQ(kCancel, boxes.Last().text);
        }
        EXPECT_EQ(0, boxes.Unexpected()) << Texts(boxes);
        if (heldPart != INVALID_HANDLE_VALUE) CloseHandle(heldPart);
        heldPart = INVALID_HANDLE_VALUE;
        EXPECT_EQ(std::vector<std::string>{"data.zip"}, ListFiles(out_.path()));
        EXPECT_EQ("old", ReadText(out_ / "data.zip"));
    }
}

// Sets that join whole: without a list (an earlier version's, or a list kept apart),
// one part alone, a part missing at first and copied in before Retry.
TEST_F(JoinTest, SetsWithoutAListOrOfOnePartJoinAndAPartCopiedInAtTheBoxIsTaken) {
    struct Good {
        const char* label;
        size_t size;
        bool keepList;
        bool missing2;
        unsigned parts;
    } kGood[] = {
        {"no list", 25000, false, false, 3},
        {"one part, no list", 5000, false, false, 1},
        {"one part of exactly the part size", kPart, true, false, 1},
        {"part 2 copied in at the box", 25000, true, true, 3},
    };
    for (const Good& good : kGood) {
        SCOPED_TRACE(good.label);
        ScratchDir folder, out;
        std::vector<char> bytes = MakeSet(folder.path(), "data.zip", good.size);
        if (!good.keepList) DeleteFileA((folder / "data.zip.sha256").c_str());
        std::string part2 = folder / "data.zip.002";
        if (good.missing2) MoveFileA(part2.c_str(), (out / "kept").c_str());
        ChooseFirstPart(folder.path(), "data.zip", out.path());
        MessageBoxAnswerer boxes;
        if (good.missing2) {
            boxes.ThenRun([&](const SeenBox&) { MoveFileA((out / "kept").c_str(), part2.c_str()); },
                          IDRETRY);
        }
        EXPECT_TRUE(JoinFile()) << Texts(boxes);
        EXPECT_EQ(good.missing2 ? 1u : 0u, boxes.Count()) << Texts(boxes);
        EXPECT_TRUE(ReadBytes(out / "data.zip") == bytes);
        EXPECT_EQ(good.parts, appState.partCount);
        EXPECT_EQ(!good.keepList, JoinedWithoutList());
    }
}

TEST_F(JoinTest, NoToReplacingTheJoinedNameJoinsNothingAndYesReplacesIt) {
    std::vector<char> bytes = MakeSet(parts_.path(), "data.zip", 25000);
    ASSERT_TRUE(WriteBytes(out_ / "data.zip", {'o', 'l', 'd'}));
    for (int answer : {IDNO, IDYES}) {
        ChooseFirstPart(parts_.path(), "data.zip");
        MessageBoxAnswerer boxes;
        boxes.Then(answer);
        EXPECT_EQ(answer == IDYES, JoinFile());
        ASSERT_EQ(1u, boxes.Count()) << Texts(boxes);
        EXPECT_EQ(out_ / "data.zip" + " already exists.\nDo you want to replace it?",
                  boxes.Last().text);
        EXPECT_EQ(static_cast<UINT>(MB_YESNO | MB_ICONQUESTION), boxes.Last().style());
        EXPECT_EQ(std::vector<std::string>{"data.zip"}, ListFiles(out_.path()));
    }
    EXPECT_TRUE(ReadBytes(out_ / "data.zip") == bytes);
}

// A set of an earlier version (no list) whose joined file passes 4 GiB: one part of
// 4294967295 bytes and the rest, sparse, joined at 64-bit offsets and checked at
// markers on both sides of 2 and 4 GiB, then removed at once.
TEST_F(JoinTest, ASetPastFourGiBJoinsAtItsOffsets) {
    const unsigned long long first = 4294967295ull, size = (5ull << 30) + 84672;
    const std::string parts[] = {parts_ / "disk.img.001", parts_ / "disk.img.002"};
    if (!MakeSizedFile(parts[0], first) || !MakeSizedFile(parts[1], size - first))
        GTEST_SKIP() << "the file system here cannot hold sparse files of 4 GiB";
    const std::pair<unsigned long long, std::string> markers[] = {
        {(2ull << 30) - 3, "2 GiB"}, {first - 4, "seam"}, {(4ull << 30) + 7, "past 4 GiB"}, {size - 4, "last"}};
    for (const auto& m : markers) {
        const bool inFirst = m.first + m.second.size() <= first;
        ASSERT_TRUE(WriteBytesAt(parts[inFirst ? 0 : 1], inFirst ? m.first : m.first - first, m.second));
    }
    ChooseFirstPart(parts_.path(), "disk.img");
    MessageBoxAnswerer boxes;
    EXPECT_TRUE(JoinFile()) << Texts(boxes);
    const std::string joined = out_ / "disk.img";
    EXPECT_EQ(static_cast<long long>(size), FileSize(joined));
    EXPECT_EQ(size, appState.fileSize);
    for (const auto& m : markers) {
        EXPECT_EQ(m.second, ReadBytesAt(joined, m.first, static_cast<DWORD>(m.second.size())));
    }
    for (const std::string& file : {parts[0], parts[1], joined}) DeleteFileA(file.c_str());
}

// A destination that cannot take the join says what failed, never that it was cancelled.
TEST_F(JoinTest, ADestinationThatCannotBeWrittenSaysWhatFailed) {
    MakeSet(parts_.path(), "data.zip", 25000);
    ASSERT_TRUE(CreateDirectoryA((out_ / "data.zip.joining").c_str(), nullptr));
    ChooseFirstPart(parts_.path(), "data.zip");
    MessageBoxAnswerer boxes;
    EXPECT_FALSE(JoinFile());
    ASSERT_EQ(1u, boxes.Count()) << Texts(boxes);
    EXPECT_EQ("Error Creating File\n" + out_ / "data.zip.joining", boxes.Last().text);
    EXPECT_TRUE(ListFiles(out_.path()).empty());
    EXPECT_TRUE(PathIsDirectoryA((out_ / "data.zip.joining").c_str())) << "the folder in the way stays";
}

// Cancel pressed, or the session ending, in the middle of part 2.
bool (*stopHow)() = nullptr;
std::string joiningFile;
bool joiningGoneAtOnce = false;
bool StopInPart2(const SplitProgress& progress) {
    if (progress.part != 2 || progress.partDone == 0) return true;
    return stopHow();
}

TEST_F(JoinTest, CancelAndLogOffInTheMiddleLeaveNothingBehind) {
    MakeSet(parts_.path(), "data.zip", 3000000, 1000000);
    joiningFile = out_ / "data.zip.joining";
    splitSliceSize = 65536;
    splitProgressHook = StopInPart2;
    for (bool logOff : {false, true}) {
        SCOPED_TRACE(logOff ? "log-off" : "cancel");
        joiningGoneAtOnce = false;
        stopHow = logOff ? +[] {
            EndJoinAsSessionEnds();
            joiningGoneAtOnce = !FileExists(joiningFile);
            return true;  // the run must stop by itself
        }
                         : +[] { return false; };
        ChooseFirstPart(parts_.path(), "data.zip");
        MessageBoxAnswerer boxes;
        if (!logOff) boxes.Then(IDOK);
        EXPECT_FALSE(JoinFile());
        EXPECT_EQ(logOff ? 0u : 1u, boxes.Count()) << Texts(boxes);
        if (logOff) {
            EXPECT_TRUE(joiningGoneAtOnce);
        } else {
            EXPECT_EQ(kCancel, boxes.Last().text);
        }
        EXPECT_TRUE(ListFiles(out_.path()).empty());
    }
    splitSliceSize = kSliceSize;
}

// Parts put on the disk of a 1440 KiB floppy drive one disk at a time, the list and
// the script coming on the last one, as the split left them.
void InsertDisk(const std::string& from, const std::vector<std::string>& names) {
    EmptyFolder(FloppyDrive::kDir);
    for (const std::string& name : names) {
        CopyFileA((from + "\\" + name).c_str(), (std::string("A:\\") + name).c_str(), FALSE);
    }
}

std::string InsertPrompt(int part) {
    return "Insert the disk with part " + std::to_string(part) + " (data.zip.00" +
           std::to_string(part) + ") and retry";
}

TEST_F(JoinTest, FromFloppiesItAsksForEachDiskAndForADamagedOneAgain) {
    SKIP_WITHOUT_FLOPPY();
    FloppyDrive floppy;
    std::vector<char> bytes = MakeSet(parts_.path(), "data.zip", 3000000, kFloppySplitSize);
    const std::string good2 = parts_ / "data.zip.002";
    ScratchDir spoiled;
    std::vector<char> damaged = ReadBytes(good2);
    damaged[99] ^= 1;
    WriteBytes(spoiled / "data.zip.002", damaged);

    for (bool damagedDisk : {false, true}) {
        SCOPED_TRACE(damagedDisk ? "disk 2 damaged" : "good disks");
        ScratchDir out;
        InsertDisk(parts_.path(), {"data.zip.001"});
        ChooseFirstPart("A:", "data.zip", out.path());
        MessageBoxAnswerer boxes;
        boxes.ThenRun([&](const SeenBox&) {
            InsertDisk(damagedDisk ? spoiled.path() : parts_.path(), {"data.zip.002"});
        }, IDRETRY);
        boxes.ThenRun([&](const SeenBox&) {
            InsertDisk(parts_.path(), {"data.zip.003", "data.zip.sha256", "data.zip.bat"});
        }, IDRETRY);
        if (damagedDisk) {
            boxes.Then(IDRETRY).ThenRun(
                [&](const SeenBox&) { InsertDisk(parts_.path(), {"data.zip.002"}); }, IDRETRY);
        }
        EXPECT_TRUE(JoinFile()) << Texts(boxes);
        std::vector<std::string> said;
        for (const SeenBox& box : boxes.Seen()) said.push_back(box.text);
        std::vector<std::string> expected = {InsertPrompt(2), InsertPrompt(3)};
        if (damagedDisk) {
            expected.push_back(
                "Part 2 (data.zip.002) is damaged: its contents differ from the part that was split.");
            expected.push_back(InsertPrompt(2));
        }
        EXPECT_EQ(expected, said);
        EXPECT_EQ(static_cast<UINT>(MB_RETRYCANCEL | MB_ICONERROR), boxes.Seen()[0].style());
        EXPECT_TRUE(ReadBytes(out / "data.zip") == bytes);
        EXPECT_FALSE(JoinedWithoutList());
    }
}

TEST_F(JoinTest, FromFloppiesTheDestinationMayNotBeTheFloppyDrive) {
    SKIP_WITHOUT_FLOPPY();
    FloppyDrive floppy;
    MakeSet(parts_.path(), "data.zip", 25000);
    InsertDisk(parts_.path(), {"data.zip.001"});
    ChooseFirstPart("A:", "data.zip", "A:\\");
    MessageBoxAnswerer boxes;
    boxes.Then(IDOK);
    EXPECT_FALSE(JoinFile());
    ASSERT_EQ(1u, boxes.Count()) << Texts(boxes);
    EXPECT_EQ("The parts come from a removable drive, whose disks are changed during the join.\n"
              "Choose a destination folder on another drive.",
              boxes.Last().text);
    EXPECT_EQ(std::vector<std::string>{"data.zip.001"}, ListFiles("A:"));
}

// The seam for mending a set: a damaged part put right in place is copied again
// without a box.
std::string goodCopy;
bool PutTheGoodCopyBack(const JoinSet& set, unsigned long long part) {
    char path[kPathSize];
    return part == 2 && PartPath(set, part, path) && CopyFileA(goodCopy.c_str(), path, FALSE);
}

TEST_F(JoinTest, APartMendedInPlaceByTheRepairStepIsCopiedAgainWithoutABox) {
    std::vector<char> bytes = MakeSet(parts_.path(), "data.zip", 25000);
    goodCopy = sources_ / "good.002";
    ASSERT_TRUE(CopyFileA((parts_ / "data.zip.002").c_str(), goodCopy.c_str(), FALSE));
    ASSERT_TRUE(WriteBytes(parts_ / "data.zip.002", PatternBytes(kPart, 8)));
    ChooseFirstPart(parts_.path(), "data.zip");
    joinBadPartHook = PutTheGoodCopyBack;
    MessageBoxAnswerer boxes;
    EXPECT_TRUE(JoinFile());
    joinBadPartHook = nullptr;
    EXPECT_EQ(0u, boxes.Count()) << Texts(boxes);
    EXPECT_TRUE(ReadBytes(out_ / "data.zip") == bytes);
}
}  // namespace
