#include "split/split_run.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>

#include "split/mapped_file.h"
#include "split/merge_script.h"
#include "tests/split/split_fixture.h"
#include "tests/support/message_boxes.h"
#include "tests/support/test_drives.h"
#include "tests/support/unix_command.h"

namespace {
const char kCancelText[] = "Cancelling File Split";

std::string InsertDiskText(DWORD bytes) {
    char text[200];
    wsprintfA(text,
              "Insert another Disk which has atleast %lu bytes free \n"
              "                            and retry",
              static_cast<unsigned long>(bytes));
    return text;
}

void ExpectCancelBox(const SeenBox& box) {
    EXPECT_EQ(kCancelText, box.text);
    EXPECT_EQ(kWindowTitle, box.caption);
    EXPECT_EQ(static_cast<UINT>(MB_OK | MB_ICONWARNING), box.style());
    EXPECT_EQ(nullptr, box.owner);
}

// Runs a split and its script as the main window does, which must fail: false
// after one box, which says what failed.
void ExpectFailedRun(const std::string& text) {
    MessageBoxAnswerer boxes;
    boxes.Then(IDOK);
    EXPECT_FALSE(SplitFile() && WriteMergeScript());
    ASSERT_EQ(1u, boxes.Count()) << boxes.Describe();
    EXPECT_EQ(text, boxes.Last().text);
    EXPECT_EQ(static_cast<UINT>(MB_OK | MB_ICONERROR), boxes.Last().style());
    EXPECT_EQ(nullptr, boxes.Last().owner);
}

const char kTooLong[] = "Cannot create the File: its path is too long\n";
}  // namespace

TEST_F(SplitTest, PartCountRoundsUpAndNeverFallsBelowOne) {
    const struct {
        ULONGLONG fileSize;
        DWORD splitSize;
        ULONGLONG parts;
    } cases[] = {{3000000, 1457664, 3}, {2915328, 1457664, 2}, {1457664, 1457664, 1},
                 {1000, 1457664, 1},    {0, 1457664, 1},       {1001, 1, 1001},
                 {4294967295u, 1457664, 2947}, {4294967295u, 4294967295u, 1},
                 {9ull << 30, 1457664, 6630},  {1ull << 40, 1, 1ull << 40},
                 {1000, 0, 1}};  // a split size of 0 never divides
    for (const auto& c : cases) {
        appState.fileSize = c.fileSize;
        appState.splitSize = c.splitSize;
        ComputePartCount();
        EXPECT_EQ(c.parts, appState.partCount) << c.fileSize << " / " << c.splitSize;
    }
}

// N equal parts: the size rounded up, the last part the shortest, N parts unless
// the bytes are too few for N such parts (count 0: no split size holds them).
TEST_F(SplitTest, EqualPartsRoundUpAndGiveNPartsWhereTheBytesAllow) {
    const struct {
        ULONGLONG fileSize, parts, partSize, count;
    } cases[] = {{3000000, 1, 3000000, 1},       {3000000, 7, 428572, 7},
                 {10, 6, 2, 5},                  {3000000, 3000001, 1, 3000000},
                 {0, 4, 1, 1},                   {1000, 0, 0, 0},
                 {9ull << 30, 2, 9ull << 29, 0}, {9ull << 30, 3, 3ull << 30, 3}};
    for (const auto& c : cases) {
        ULONGLONG size = EqualPartSize(c.fileSize, c.parts);
        appState.fileSize = c.fileSize;
        appState.splitSize = static_cast<DWORD>(size);
        ComputePartCount();
        EXPECT_EQ(c.partSize, size) << c.fileSize << " in " << c.parts;
        EXPECT_TRUE(c.count == 0 || c.count == appState.partCount)
            << c.fileSize << " in " << c.parts << ": " << appState.partCount << " parts";
    }
}

TEST_F(SplitTest, CutsThreeMillionBytesIntoTwoFullPartsAndTheRest) {
    std::vector<char> source = ChooseSource("data.zip", 3000000, 1457664);
    ASSERT_EQ(3u, appState.partCount);
    MessageBoxAnswerer boxes;
    EXPECT_TRUE(SplitFile());
    EXPECT_EQ(0u, boxes.Count()) << boxes.Describe();
    EXPECT_EQ((std::vector<std::string>{"data.zip.001", "data.zip.002", "data.zip.003"}),
              ListFiles(dest_.path()));
    EXPECT_EQ(1457664, FileSize(dest_ / "data.zip.001"));
    EXPECT_EQ(1457664, FileSize(dest_ / "data.zip.002"));
    EXPECT_EQ(84672, FileSize(dest_ / "data.zip.003"));
    EXPECT_TRUE(JoinParts(dest_.path(), "data.zip", 3) == source);
    // The run leaves its inputs as they were, and the destination ends in a backslash.
    EXPECT_EQ(dest_.path() + "\\", appState.destDir);
    EXPECT_EQ(3000000u, appState.fileSize);
    EXPECT_EQ(1457664u, appState.splitSize);
    EXPECT_EQ(3u, appState.partCount);
}

TEST_F(SplitTest, AnExactMultipleGivesNoEmptyPart) {
    std::vector<char> source = ChooseSource("even.bin", 2915328, 1457664);
    EXPECT_TRUE(SplitFile());
    EXPECT_EQ((std::vector<std::string>{"even.bin.001", "even.bin.002"}), ListFiles(dest_.path()));
    EXPECT_TRUE(JoinParts(dest_.path(), "even.bin", 2) == source);
}

TEST_F(SplitTest, ASourceNoLargerThanOnePartBecomesPart001) {
    for (size_t size : {size_t{1457664}, size_t{1}}) {
        ScratchDir dest;
        std::vector<char> source = ChooseSource("small.txt", size, 1457664, dest.path() + "\\");
        EXPECT_TRUE(SplitFile());
        EXPECT_EQ(std::vector<std::string>{"small.txt.001"}, ListFiles(dest.path()));
        EXPECT_TRUE(ReadBytes(dest / "small.txt.001") == source) << size;
    }
}

// Nothing was cancelled: each failure gets a box that says what failed and where,
// and whatever comes after it is not written.
TEST_F(SplitTest, EveryFailureOfTheRunOrItsScriptSaysWhatFailed) {
    const std::string name = "data.zip";
    const std::string kept = "data.zip.001 data.zip.002 data.zip.003 ";
    auto folderOf = [&](const char* file) {
        return [&, file](const std::string& dest) {
            CreateDirectoryA((dest + "\\" + file).c_str(), nullptr);
            ChooseSource(name, 3000, 1000, dest);
            return "Error Creating File\n" + dest + "\\" + file;
        };
    };
    const struct {
        const char* cause;
        std::function<std::string(const std::string& dest)> prepare;  // gives the box's text
        std::string files;  // in the run's destination afterwards
    } cases[] = {
        {"missing source", [&](const std::string& dest) {
             SetRun(sources_ / "gone.zip", 3000, 1000, dest);
             return "Error Opening File\n" + sources_ / "gone.zip";
         }, ""},
        {"empty source", [&](const std::string& dest) {
             ChooseSource("empty.dat", 0, 1000, dest);
             return "The File is empty: there is nothing to Split\n" + sources_ / "empty.dat";
         }, ""},
        {"list name too long, part names not", [&](const std::string& dest) {
             std::string deep = dest + "\\" + std::string(259 - 15 - dest.size() - 1, 'd');
             CreateDirectoryA(deep.c_str(), nullptr);  // deep\data.zip.sha256: 260 characters
             ChooseSource(name, 3000, 1000, deep);
             return kTooLong + deep + "\\data.zip.sha256";
         }, ""},
        {"read-only script of an earlier split", [&](const std::string& dest) {
             WriteBytes(dest + "\\data.zip.bat", {'o', 'l', 'd'});
             SetFileAttributesA((dest + "\\data.zip.bat").c_str(), FILE_ATTRIBUTE_READONLY);
             ChooseSource(name, 3000, 1000, dest);
             return "The File of an earlier Split cannot be replaced\n" + dest + "\\data.zip.bat";
         }, "data.zip.bat "},
        {"folder of a part's name", folderOf("data.zip.002"), "data.zip.001 "},
        {"folder of the script's name", folderOf("data.zip.bat"), kept},
        {"folder of the list's name", folderOf("data.zip.sha256"), kept + "data.zip.bat "},
        {"free space unknown", [&](const std::string&) {
             ChooseSource(name, 3000, 1000, "\\\\nosuchserver\\share");
             return std::string("Cannot find the Free Space of the Destination Folder\n"
                                "\\\\nosuchserver\\share\\");
         }, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.cause);
        ScratchDir dest;
        ExpectFailedRun(c.prepare(dest.path()));
        std::string files;  // the run's destination ends in a backslash
        for (const std::string& file : ListFiles(appState.destDir + std::string("."))) files += file + " ";
        EXPECT_EQ(c.files, files);
    }
}

TEST_F(SplitTest, TheThousandthPartIsNumbered1000) {
    std::vector<char> source = ChooseSource("many.bin", 1001, 1);
    ASSERT_EQ(1001u, appState.partCount);
    EXPECT_TRUE(SplitFile());
    std::vector<std::string> names = ListFiles(dest_.path());
    EXPECT_EQ(1001u, names.size());
    EXPECT_TRUE(FileExists(dest_ / "many.bin.001"));
    EXPECT_TRUE(FileExists(dest_ / "many.bin.999"));
    EXPECT_TRUE(FileExists(dest_ / "many.bin.1000"));
    EXPECT_TRUE(FileExists(dest_ / "many.bin.1001"));
    EXPECT_FALSE(FileExists(dest_ / "many.bin.0000"));
    EXPECT_TRUE(JoinParts(dest_.path(), "many.bin", 1001) == source);
}

TEST_F(SplitTest, AnExistingFileOfAPartsNameIsReplaced) {
    ASSERT_TRUE(WritePattern(dest_ / "data.zip.002", 2000000, 99));
    std::vector<char> source = ChooseSource("data.zip", 3000000, 1457664);
    EXPECT_TRUE(SplitFile());
    EXPECT_EQ(1457664, FileSize(dest_ / "data.zip.002"));
    EXPECT_TRUE(JoinParts(dest_.path(), "data.zip", 3) == source);
}

// Part 2 of 4 cannot be created: the run stops there, parts 3 and 4 are never
// attempted, and one box names the part (a folder of its name: the table above).
class UncreatablePartTest : public SplitTest {
protected:
    void ExpectRunStopsAtPartTwo() {
        ExpectFailedRun("Error Creating File\n" + dest_ / "four.bin.002");
        EXPECT_EQ(1000, FileSize(dest_ / "four.bin.001"));
        EXPECT_FALSE(FileExists(dest_ / "four.bin.003")) << "no part after a failed one";
        EXPECT_FALSE(FileExists(dest_ / "four.bin.004"));
        EXPECT_EQ(1000u, appState.splitSize);
    }
};

TEST_F(UncreatablePartTest, AReadOnlyFileOfAPartsNameStopsTheRun) {
    ChooseSource("four.bin", 4000, 1000);
    ASSERT_EQ(4u, appState.partCount);
    if (!MakeReadOnlyFile(dest_ / "four.bin.002"))
        GTEST_SKIP() << "read-only files can be written here (Wine run as root)";
    ExpectRunStopsAtPartTwo();
}

TEST_F(SplitTest, APartPathLongerThan259CharactersIsNeverCreated) {
    // A destination folder whose longest path, the checksum list's, comes out at
    // exactly 259 characters works; one character more and nothing is written.
    const std::string name = "data.zip";  // data.zip.sha256: 15 characters
    std::string fits = dest_.path() + "\\";
    fits += std::string(259 - 15 - fits.size() - 1, 'd');
    ASSERT_TRUE(CreateDirectoryA(fits.c_str(), nullptr)) << fits.size();
    std::string over = fits + "e";
    ASSERT_TRUE(CreateDirectoryA(over.c_str(), nullptr)) << over.size();

    std::vector<char> source = ChooseSource(name, 3000, 1000, fits);
    EXPECT_TRUE(SplitFile() && WriteMergeScript());
    EXPECT_EQ(259u, std::strlen(appState.destDir) + 15);
    EXPECT_TRUE(JoinParts(fits, name, 3) == source);

    SetRun(sources_ / name, 3000, 1000, over);
    ExpectFailedRun(kTooLong + over + "\\data.zip.sha256");
    EXPECT_TRUE(ListFiles(over).empty());
}

// Views of a few pages: part and view edges fall inside and across each other.
TEST_F(SplitTest, ViewEdgesInsideAndAcrossPartsLoseNoByte) {
    const DWORD window = mappedWindowSize;
    mappedWindowSize = 65536;
    std::vector<char> source = ChooseSource("edges.bin", 1000003, 100000);
    bool split = SplitFile();
    mappedWindowSize = window;
    ASSERT_TRUE(split);
    EXPECT_EQ(3, FileSize(dest_ / PartName("edges.bin", 11)));
    EXPECT_TRUE(JoinParts(dest_.path(), "edges.bin", 11) == source);
}

// One full FAT32 part and the rest, all of whose bytes lie past 4 GiB, read through
// views that move along the source. The parts are checked at markers across the
// first view's edge, 2 GiB, the parts' seam just before 4 GiB and the end, then
// removed at once.
TEST_F(SplitTest, ASourceOverFiveGiBGoesIntoFat32PartsByteForByte) {
    const ULONGLONG size = (5ull << 30) + 84672;
    const std::string source = sources_ / "disk.img";
    if (!MakeSizedFile(source, size) || FileSize(source) != static_cast<long long>(size))
        GTEST_SKIP() << "the file system here cannot hold a sparse file of 5 GiB";
    const std::pair<ULONGLONG, std::string> markers[] = {
        {kDefaultMappedWindow - 2, "view"}, {(2ull << 30) - 3, "2 GiB"},
        {kLargestSplitSize - 4, "seam, 4 GiB"}, {size - 4, "last"}};
    for (const auto& m : markers) ASSERT_TRUE(WriteBytesAt(source, m.first, m.second));
    SetRun(source, size, kLargestSplitSize, dest_.path());
    splitHashParts = false;  // hashing 5 GiB would double the run; the digests are tested apart
    bool split = SplitFile();
    splitHashParts = true;
    const std::string parts[] = {dest_ / "disk.img.001", dest_ / "disk.img.002"};
    EXPECT_TRUE(split);
    EXPECT_EQ(4294967295ll, FileSize(parts[0]));
    EXPECT_EQ(static_cast<long long>(size - kLargestSplitSize), FileSize(parts[1]));
    // The script rebuilds it under the command interpreter, past 4 GiB.
    const std::string joined = dest_ / "disk.img";
    EXPECT_TRUE(WriteMergeScript());
    EXPECT_EQ(0, RunProcess("cmd.exe /c \"disk.img.bat\"", dest_.path(), 600000));
    EXPECT_EQ(static_cast<long long>(size), FileSize(joined));
    for (const auto& m : markers) {
        std::string got, rebuilt;
        for (ULONGLONG at = m.first; at < m.first + m.second.size(); ++at)
            got += ReadBytesAt(parts[at / kLargestSplitSize], at % kLargestSplitSize, 1);
        EXPECT_EQ(m.second, got);
        EXPECT_EQ(m.second, ReadBytesAt(joined, m.first, m.second.size())) << "joined";
    }
    for (const std::string& file : {parts[0], parts[1], joined}) DeleteFileA(file.c_str());
}

// The size shown when the source was chosen may be stale by the time Split is
// pressed: the run cuts the file as it is then, and keeps fileSize and
// partCount in step so the merge script joins exactly those parts.
TEST_F(SplitTest, ASourceThatShrankIsCutAsItIsNow) {
    ChooseSource("changing.bin", 3000000, 1457664);
    std::vector<char> now = PatternBytes(1500000, 5);
    ASSERT_TRUE(WriteBytes(sources_ / "changing.bin", now));
    EXPECT_TRUE(SplitFile());
    EXPECT_EQ((std::vector<std::string>{"changing.bin.001", "changing.bin.002"}),
              ListFiles(dest_.path()));
    EXPECT_EQ(42336, FileSize(dest_ / "changing.bin.002"));
    EXPECT_TRUE(JoinParts(dest_.path(), "changing.bin", 2) == now);
    EXPECT_EQ(1500000u, appState.fileSize);
    EXPECT_EQ(2u, appState.partCount);
}

TEST_F(SplitTest, ASourceThatGrewIsCutAsItIsNow) {
    ChooseSource("changing.bin", 1000, 1457664);
    std::vector<char> now = PatternBytes(4000000, 6);
    ASSERT_TRUE(WriteBytes(sources_ / "changing.bin", now));
    EXPECT_TRUE(SplitFile());
    EXPECT_EQ(3u, ListFiles(dest_.path()).size());
    EXPECT_EQ(4000000 - 2 * 1457664, FileSize(dest_ / "changing.bin.003"));
    EXPECT_TRUE(JoinParts(dest_.path(), "changing.bin", 3) == now);
    EXPECT_EQ(4000000u, appState.fileSize);
    EXPECT_EQ(3u, appState.partCount);
}

TEST_F(SplitTest, ASourceThatBecameEmptySaysSo) {
    ChooseSource("changing.bin", 3000000, 1457664);
    ASSERT_TRUE(WriteBytes(sources_ / "changing.bin", {}));
    ExpectFailedRun("The File is empty: there is nothing to Split\n" + sources_ / "changing.bin");
    EXPECT_TRUE(ListFiles(dest_.path()).empty());
}

TEST_F(SplitTest, FloppyRunAsksForAnotherDiskBeforeEachPartThatDoesNotFit) {
    SKIP_WITHOUT_FLOPPY();
    FloppyDrive floppy;
    std::vector<char> source = ChooseSource("data.zip", 3000000, 1457664, "A:\\");
    MessageBoxAnswerer boxes;
    auto insert = [&](const SeenBox&) { floppy.InsertEmptyDisk(); };
    boxes.Then(IDRETRY).ThenRun(insert, IDRETRY).ThenRun(insert, IDRETRY);
    EXPECT_TRUE(SplitFile());
    // Before part 2: Retry with the full disk asks again; then an empty disk. The
    // third part (84672 bytes) fits beside nothing on the third disk.
    ASSERT_EQ(3u, boxes.Count()) << boxes.Describe();
    EXPECT_EQ(InsertDiskText(1457664), boxes.Seen()[0].text);
    EXPECT_EQ(InsertDiskText(1457664), boxes.Seen()[1].text);
    EXPECT_EQ(InsertDiskText(84672), boxes.Seen()[2].text);
    EXPECT_EQ(static_cast<UINT>(MB_RETRYCANCEL | MB_ICONERROR), boxes.Seen()[0].style());
    EXPECT_EQ(nullptr, boxes.Seen()[0].owner);
    EXPECT_EQ(std::string("A:\\"), appState.destDir);
    floppy.GatherAll();
    EXPECT_EQ(3, floppy.DisksTakenOut());
    EXPECT_TRUE(JoinParts(floppy.Pile(), "data.zip", 3) == source);
}

TEST_F(SplitTest, CancelOnTheThirdDiskKeepsTheFirstTwoParts) {
    SKIP_WITHOUT_FLOPPY();
    FloppyDrive floppy;
    std::vector<char> source = ChooseSource("five.bin", 5 * 1457664 - 1000, 1457664, "A:");
    ASSERT_EQ(5u, appState.partCount);
    MessageBoxAnswerer boxes;
    boxes.ThenRun([&](const SeenBox&) { floppy.InsertEmptyDisk(); }, IDRETRY)
        .Then(IDCANCEL)
        .Then(IDOK);
    EXPECT_FALSE(SplitFile());
    ASSERT_EQ(3u, boxes.Count()) << boxes.Describe();
    EXPECT_EQ(InsertDiskText(1457664), boxes.Seen()[1].text);
    ExpectCancelBox(boxes.Seen()[2]);
    EXPECT_EQ(std::vector<std::string>{"five.bin.002"}, ListFiles("A:"));
    floppy.GatherAll();
    EXPECT_EQ((std::vector<std::string>{"five.bin.001", "five.bin.002"}), ListFiles(floppy.Pile()));
    std::vector<char> firstTwo(source.begin(), source.begin() + 2 * 1457664);
    EXPECT_TRUE(JoinParts(floppy.Pile(), "five.bin", 2) == firstTwo);
    EXPECT_EQ(1457664u, appState.splitSize);
    EXPECT_EQ(5u, appState.partCount);
}

// A source cut short from Linux while the run waits at the insert-disk prompt (its
// view mapped): the next part reads past the file's end. The run cancels as any
// cancel does, the part under way keeps only bytes really copied, and the process
// goes on: the next run cuts the source as it now is.
TEST_F(SplitTest, ASourceCutShortDuringTheRunCancelsItCleanly) {
    SKIP_WITHOUT_FLOPPY();
    if (const char* emulated = std::getenv("VELK_EMULATED"); emulated && *emulated == '1') {
        GTEST_SKIP() << "32-bit Wine under qemu-i386 raises a read past the file's end as an "
                        "illegal instruction, which on Windows is a fault of the program's own; "
                        "run where the kernel runs 32-bit code, or with the 64-bit build";
    }
    FloppyDrive floppy;
    std::vector<char> source = ChooseSource("data.zip", 3000000, 1457664, "A:\\");
    const std::string unixSource = UnixPathOf(sources_ / "data.zip");
    ASSERT_FALSE(unixSource.empty());
    const size_t left = 2000000;
    MessageBoxAnswerer boxes;
    boxes.ThenRun([&](const SeenBox&) {
             EXPECT_EQ(0, RunUnixCommand("truncate -s " + std::to_string(left) + " '" +
                                         unixSource + "'"));
             floppy.InsertEmptyDisk();
         }, IDRETRY)
        .Then(IDOK);
    EXPECT_FALSE(SplitFile());
    ASSERT_EQ(2u, boxes.Count()) << boxes.Describe();
    EXPECT_EQ(InsertDiskText(1457664), boxes.Seen()[0].text);
    EXPECT_EQ("Error Reading File\n" + sources_ / "data.zip", boxes.Seen()[1].text);

    floppy.GatherAll();
    EXPECT_EQ((std::vector<std::string>{"data.zip.001", "data.zip.002"}), ListFiles(floppy.Pile()));
    std::vector<char> cut = ReadBytes(floppy.Pile() + "\\data.zip.002");
    // Up to the first page that could not be read: the file's bytes, then the
    // zeros of its last page.
    const size_t kept = left - 1457664;
    ASSERT_GE(cut.size(), kept);
    EXPECT_LT(cut.size(), kept + 4096);
    EXPECT_TRUE(std::equal(source.begin() + 1457664, source.begin() + left, cut.begin()));
    EXPECT_TRUE(std::all_of(cut.begin() + kept, cut.end(), [](char c) { return c == 0; }));

    ScratchDir again;
    CopyText(appState.destDir, again.path().c_str());
    ASSERT_TRUE(SplitFile());
    EXPECT_TRUE(JoinParts(again.path(), "data.zip", 2) ==
                std::vector<char>(source.begin(), source.begin() + left));
}

namespace {
bool cancelPressed = false;  // the progress window's Cancel, as the run's hook hears it
bool HearCancel(const SplitProgress&) { return !cancelPressed; }
}  // namespace

// Cancel pressed while the insert-disk prompt is up, then Retry with another disk:
// the run ends there, and a file of the next part's name on that disk is untouched.
TEST_F(SplitTest, CancelDuringTheInsertDiskPromptCreatesNoFurtherPart) {
    SKIP_WITHOUT_FLOPPY();
    FloppyDrive floppy;
    ChooseSource("data.zip", 3000000, 1457664, "A:\\");
    cancelPressed = false;
    splitProgressHook = HearCancel;
    MessageBoxAnswerer boxes;
    boxes.ThenRun([&](const SeenBox&) {
             floppy.InsertEmptyDisk();
             WritePattern("A:\\data.zip.002", 1000, 7);
             cancelPressed = true;
         }, IDRETRY)
        .Then(IDOK);
    EXPECT_FALSE(SplitFile());
    splitProgressHook = nullptr;
    ASSERT_EQ(2u, boxes.Count()) << boxes.Describe();
    ExpectCancelBox(boxes.Seen()[1]);
    EXPECT_TRUE(ReadBytes("A:\\data.zip.002") == PatternBytes(1000, 7))
        << "the file on the new disk was replaced; now " << FileSize("A:\\data.zip.002") << " bytes";
}

TEST_F(SplitTest, AFullFixedDiskSaysSoOnceAndNothingMore) {
    SKIP_WITHOUT_SMALL_DISK();
    SmallFixedDisk disk;
    ChooseSource("data.zip", 3000000, 1457664, "Q:\\");
    MessageBoxAnswerer boxes;
    boxes.Then(IDOK);
    EXPECT_FALSE(SplitFile());
    ASSERT_EQ(1u, boxes.Count()) << boxes.Describe();
    EXPECT_EQ("Disk is full, quiting VELK", boxes.Seen()[0].text);
    EXPECT_TRUE(ListFiles("Q:").empty());
}
