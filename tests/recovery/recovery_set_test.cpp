// Recovery sets written after real splits, read by Debian's par2 and by the
// program's own repair: whole, then with parts deleted or damaged.
#include <cstring>
#include <string>
#include <vector>

#include "core/app_state.h"
#include "gtest/gtest.h"
#include "join/join_run.h"
#include "recovery/galois.h"
#include "recovery/join_repair.h"
#include "recovery/recovery_repair.h"
#include "recovery/recovery_writer.h"
#include "recovery/slice_engine.h"
#include "split/merge_script.h"
#include "split/split_run.h"
#include "recovery/checksums.h"
#include "tests/support/message_boxes.h"
#include "tests/support/test_drives.h"
#include "tests/support/test_files.h"
#include "tests/support/unix_command.h"

namespace {
std::string PartPath(const std::string& dir, const std::string& name, unsigned part) {
    char number[16];
    std::snprintf(number, sizeof number, ".%03u", part);
    return dir + "\\" + name + number;
}

// Splits a patterned source of `size` into parts of `splitSize` in dest with a set
// that survives `losses`; returns the source's bytes.
std::vector<char> SplitWithSet(const ScratchDir& sources, const std::string& dest,
                               const std::string& name, size_t size, DWORD splitSize,
                               DWORD losses) {
    ResetAppState();
    std::vector<char> bytes = PatternBytes(size, static_cast<unsigned>(size));
    EXPECT_TRUE(WriteBytes(sources / name, bytes));
    CopyText(appState.sourcePath, (sources / name).c_str());
    CopyText(appState.destDir, dest.c_str());
    appState.fileSize = static_cast<DWORD>(size);
    appState.splitSize = splitSize;
    ComputePartCount();
    EXPECT_TRUE(SplitFile());
    EXPECT_TRUE(WriteRecoverySet(losses));
    return bytes;
}

int Par2(const ScratchDir& dir, const std::string& verb, const std::string& name) {
    return RunUnixCommand("cd '" + UnixPathOf(dir.path()) + "' && par2 " + verb + " -q '" + name +
                          ".par2' >/dev/null 2>&1");
}

void Damage(const std::string& path) {
    std::vector<char> bytes = ReadBytes(path);
    ASSERT_FALSE(bytes.empty()) << path;
    bytes[bytes.size() / 2] ^= 0x5A;
    ASSERT_TRUE(WriteBytes(path, bytes));
}

void CopyFolder(const ScratchDir& from, const ScratchDir& to) {
    for (const std::string& file : ListFiles(from.path())) {
        ASSERT_TRUE(CopyFileA((from / file).c_str(), (to / file).c_str(), FALSE)) << file;
    }
}

std::vector<char> JoinParts(const std::string& dir, DWORD count) {
    std::vector<char> joined;
    for (unsigned part = 1; part <= count; ++part) {
        std::vector<char> bytes = ReadBytes(PartPath(dir, "data.bin", part));
        joined.insert(joined.end(), bytes.begin(), bytes.end());
    }
    return joined;
}

struct DamageCase {
    const char* label;
    size_t size;
    DWORD splitSize;
    DWORD losses;
    std::vector<unsigned> deleted;
    std::vector<unsigned> damaged;
    bool recoverable;
    bool listed = true;  // the join finds the list beside the parts
};

const DamageCase kCases[] = {
    {"floppy parts, first deleted", 3000000, kFloppySplitSize, 1, {1}, {}, true},
    {"floppy parts, middle damaged", 3000000, kFloppySplitSize, 1, {}, {2}, true},
    {"floppy parts, last and short deleted", 3000000, kFloppySplitSize, 1, {3}, {}, true, false},
    {"odd size, several at once", 1000003, 100001, 3, {1, 10}, {6}, true},
    {"one part only, damaged", 5001, 65536, 1, {}, {1}, true},
    {"more lost than the set covers", 1000003, 100001, 2, {2, 4}, {9}, false},
};

class RecoverySet : public ::testing::TestWithParam<DamageCase> {};

// The program's join, with the repair step it runs before copying, from `folder`.
bool JoinWithRepair(const std::string& folder, const std::string& into, MessageBoxAnswerer& boxes) {
    CopyText(appState.sourcePath, PartPath(folder, "data.bin", 1).c_str());
    CopyText(appState.destDir, into.c_str());
    joinBeforeCopyHook = RepairBeforeJoin;
    joinLeftOutHook = RebuildLeftOutParts;
    boxes.Then(IDOK);
    bool joined = JoinFile();
    joinBeforeCopyHook = nullptr;
    joinLeftOutHook = nullptr;
    return joined;
}

// par2 rebuilds in one copy of the damaged folder, the program's repair in another,
// its join from a third.
TEST_P(RecoverySet, Par2RepairAndJoinRebuildWhatWasLost) {
    const DamageCase& c = GetParam();
    ScratchDir sources, dest, copy, joinCopy, joined;
    std::vector<char> source = SplitWithSet(sources, dest.path(), "data.bin", c.size, c.splitSize, c.losses);
    DWORD parts = appState.partCount;
    ASSERT_EQ(c.losses, lastRecoverySet.partsCovered);
    ASSERT_TRUE(WriteMergeScript());
    if (!c.listed) {
        ASSERT_TRUE(DeleteFileA((dest / "data.bin.sha256").c_str()));
    }
    EXPECT_EQ(0, Par2(dest, "verify", "data.bin")) << c.label << ": the whole set";
    for (unsigned part : c.deleted) ASSERT_TRUE(DeleteFileA(PartPath(dest.path(), "data.bin", part).c_str()));
    for (unsigned part : c.damaged) Damage(PartPath(dest.path(), "data.bin", part));
    CopyFolder(dest, copy);
    CopyFolder(dest, joinCopy);
    MessageBoxAnswerer boxes;
    EXPECT_EQ(c.recoverable, JoinWithRepair(joinCopy.path(), joined.path(), boxes)) << c.label;
    if (c.recoverable) {
        EXPECT_EQ(0u, boxes.Count()) << c.label << boxes.Describe();
        EXPECT_TRUE(ReadBytes(joined / "data.bin") == source) << c.label << ": the join's file differs";
        EXPECT_EQ(c.deleted.size() + c.damaged.size(), lastJoinRepair.rebuiltCount) << c.label;
    } else {
        ASSERT_EQ(1u, boxes.Count()) << c.label << boxes.Describe();
        EXPECT_EQ("3 of the 10 parts of data.bin are missing or damaged: more than its recovery "
                  "volumes can rebuild (2 part(s)).\nNothing was joined.", boxes.Last().text);
        EXPECT_TRUE(ListFiles(joined.path()).empty()) << c.label;
    }
    std::vector<std::string> before = ListFiles(copy.path());
    std::vector<char> damaged = JoinParts(copy.path(), parts);

    RepairReport report;
    bool repaired = RepairParts((copy.path() + "\\").c_str(), "data.bin", &report);
    EXPECT_EQ(c.recoverable, repaired) << c.label;
    EXPECT_EQ(0u + c.deleted.size() + c.damaged.size(), report.badParts) << c.label;
    if (c.recoverable) {
        EXPECT_EQ(RepairOutcome::Rebuilt, report.outcome) << c.label;
        EXPECT_EQ(report.badParts, report.rebuiltCount) << c.label;
        EXPECT_TRUE(JoinParts(copy.path(), parts) == source) << c.label << ": the repair's parts differ";
        EXPECT_EQ(0, Par2(dest, "repair", "data.bin")) << c.label;
        EXPECT_TRUE(JoinParts(dest.path(), parts) == source) << c.label << ": par2's parts differ";
    } else {
        EXPECT_EQ(RepairOutcome::TooDamaged, report.outcome) << c.label;
        EXPECT_EQ(before, ListFiles(copy.path())) << c.label << ": files written or removed";
        EXPECT_TRUE(JoinParts(copy.path(), parts) == damaged) << c.label << ": parts changed";
        EXPECT_NE(0, Par2(dest, "repair", "data.bin")) << c.label;
    }
}

INSTANTIATE_TEST_SUITE_P(Patterns, RecoverySet, ::testing::ValuesIn(kCases));

// The processor's fast path and the portable one give the same products.
TEST(Galois, FastAndPortableMultiplyAddAgree) {
    std::vector<char> src = PatternBytes(4096 + 6, 7);
    for (GfWord factor : {GfWord(2), GfWord(0x1234), GfWord(0xFFFF)}) {
        std::vector<BYTE> fast(src.size(), 0x11), portable(src.size(), 0x11);
        GfForcePortable(false);
        GfMultiplyAdd(fast.data(), reinterpret_cast<BYTE*>(src.data()), static_cast<DWORD>(src.size()), factor);
        GfForcePortable(true);
        GfMultiplyAdd(portable.data(), reinterpret_cast<BYTE*>(src.data()), static_cast<DWORD>(src.size()), factor);
        GfForcePortable(false);
        EXPECT_TRUE(fast == portable) << "factor " << factor;
    }
}
}  // namespace

namespace {
// Bad volumes beside the parts: never a crash, never a wrong part, and with the
// index whole the parts the set still covers are rebuilt.
TEST(RecoveryRepair, BadVolumesAreSteppedOverOrRefusedCleanly) {
    ScratchDir sources, dest, other, otherSources;
    std::vector<char> source = SplitWithSet(sources, dest.path(), "data.bin", 1000003, 100001, 2);
    SplitWithSet(otherSources, other.path(), "data.bin", 1000001, 100001, 2);  // other bytes
    const std::string vol0 = dest / "data.bin.vol0+1.par2";
    const std::string vol1 = dest / "data.bin.vol1+1.par2";
    std::vector<char> whole0 = ReadBytes(vol0), whole1 = ReadBytes(vol1);
    // A packet header that claims more than the file holds, and a main packet of
    // another set with an absurd file count, checksummed as a real one would be.
    std::vector<char> absurd(64 + 12, 0);
    std::memcpy(absurd.data(), "PAR2\0PKT", 8);
    absurd[15] = 0x7F;  // length near 2^63
    std::vector<char> main(64 + 12, 0);
    std::memcpy(main.data(), "PAR2\0PKT", 8);
    main[8] = static_cast<char>(main.size());
    std::memcpy(main.data() + 48, "PAR 2.0\0Main\0\0\0\0", 16);
    main[64] = 4;  // slice size 4
    std::memset(main.data() + 72, 0xFF, 4);  // 4294967295 files
    BYTE digest[16];
    ASSERT_TRUE(Md5Of(main.data() + 32, static_cast<DWORD>(main.size() - 32), digest));
    std::memcpy(main.data() + 16, digest, 16);
    absurd.insert(absurd.end(), main.begin(), main.end());

    struct Case {
        const char* label;
        std::vector<char> vol0, vol1;
        RepairOutcome want;
    } cases[] = {
        {"both truncated", {whole0.begin(), whole0.begin() + whole0.size() / 2},
         {whole1.begin(), whole1.begin() + 100}, RepairOutcome::TooDamaged},
        {"one damaged in its data", whole0, whole1, RepairOutcome::Rebuilt},
        {"both of another set", ReadBytes(other / "data.bin.vol0+1.par2"),
         ReadBytes(other / "data.bin.vol1+1.par2"), RepairOutcome::TooDamaged},
        {"absurd lengths and counts before a good one", absurd, whole1, RepairOutcome::Rebuilt},
    };
    cases[1].vol1[whole1.size() / 2] ^= 1;
    cases[3].vol0.insert(cases[3].vol0.end(), whole0.begin(), whole0.end());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        ASSERT_TRUE(WriteBytes(vol0, c.vol0));
        ASSERT_TRUE(WriteBytes(vol1, c.vol1));
        DeleteFileA(PartPath(dest.path(), "data.bin", 4).c_str());
        std::vector<std::string> before = ListFiles(dest.path());
        RepairReport report;
        RepairParts((dest.path() + "\\").c_str(), "data.bin", &report);
        EXPECT_EQ(c.want, report.outcome);
        if (c.want == RepairOutcome::Rebuilt) {
            EXPECT_TRUE(JoinParts(dest.path(), 10) == source);
        } else {
            EXPECT_EQ(before, ListFiles(dest.path())) << "files written or removed";
        }
    }
}

std::string endingIn;
size_t filesAtEnd = 0;

// The session ends while the volumes are computed: none of the set stays, even
// if the process ends as soon as it is told.
TEST(RecoveryRepair, TheSessionEndingWhileTheSetIsWrittenLeavesNoneOfIt) {
    ScratchDir sources, dest;
    SplitWithSet(sources, dest.path(), "data.bin", 300000, 100000, 0);
    endingIn = dest.path();
    recoveryProgressHook = [](unsigned long long done, unsigned long long total) {
        if (2 * done <= total || endingIn.empty()) return true;
        EndRecoveryAsSessionEnds();
        filesAtEnd = ListFiles(endingIn).size();
        endingIn.clear();
        return true;
    };
    EXPECT_FALSE(WriteRecoverySet(2));
    recoveryProgressHook = nullptr;
    EXPECT_TRUE(endingIn.empty()) << "the session never ended";
    EXPECT_EQ(3u, filesAtEnd) << "only the parts";
}

// The join's repair stopped as it rebuilds (by Cancel, by the session's end): the
// parts stay as they were, nothing is joined, and only Cancel says so.
TEST(RecoveryRepair, AStoppedRepairLeavesThePartsAndJoinsNothing) {
    for (bool ending : {false, true}) {
        SCOPED_TRACE(ending ? "session ends" : "cancelled");
        ScratchDir sources, dest, joined;
        SplitWithSet(sources, dest.path(), "data.bin", 300000, 100000, 1);
        ASSERT_TRUE(DeleteFileA(PartPath(dest.path(), "data.bin", 2).c_str()));
        endingIn = ending ? dest.path() : "";
        std::vector<std::string> before = ListFiles(dest.path());
        // The second report of the rebuild: its part is being written aside.
        repairProgressHook = [](unsigned long long done, unsigned long long total) {
            if (done != total || total != 300000) return true;
            if (endingIn.empty()) return false;
            EndRepairAsSessionEnds();
            filesAtEnd = ListFiles(endingIn).size();
            return true;
        };
        MessageBoxAnswerer boxes;
        EXPECT_FALSE(JoinWithRepair(dest.path(), joined.path(), boxes));
        repairProgressHook = nullptr;
        EXPECT_EQ(ending ? 0u : 1u, boxes.Count()) << boxes.Describe();
        EXPECT_EQ(before.size(), ending ? filesAtEnd : before.size()) << "a part half rebuilt stays";
        EXPECT_EQ(before, ListFiles(dest.path()));
        EXPECT_TRUE(ListFiles(joined.path()).empty());
    }
}

TEST(RecoveryRepair, ALaterSplitOfTheSameNameRemovesTheSet) {
    ScratchDir sources, dest;
    SplitWithSet(sources, dest.path(), "data.bin", 300000, 100000, 2);
    EXPECT_EQ(3u, ListFiles(dest.path()).size() - 3) << "parts, index and two volumes";
    SplitWithSet(sources, dest.path(), "data.bin", 300000, 100000, 0);
    EXPECT_EQ(3u, ListFiles(dest.path()).size()) << "only the parts";
}

// Onto the 1440 KiB floppy with a disk inserted at each prompt: each recovery file
// fits a disk, one more disk is asked for, and a part deleted is rebuilt by the
// join, from the disks (left out at its prompt) and from the disks gathered in a pile.
TEST(RecoveryFloppy, SetGoesOntoDisksAndRebuildsAPart) {
    SKIP_WITHOUT_FLOPPY();
    FloppyDrive floppy;
    ScratchDir sources;
    MessageBoxAnswerer boxes;
    for (int i = 0; i < 4; ++i) boxes.ThenRun([&](const SeenBox&) { floppy.InsertEmptyDisk(); }, IDRETRY);
    std::vector<char> source =
        SplitWithSet(sources, FloppyDrive::kDir, "data.bin", 3000000, kFloppySplitSize, 1);
    EXPECT_EQ(3u, boxes.Count()) << boxes.Describe();
    EXPECT_TRUE(lastRecoverySet.removable);
    EXPECT_EQ(1u, lastRecoverySet.extraDisks);
    ASSERT_TRUE(WriteMergeScript());
    floppy.GatherAll();
    const std::string pile = floppy.Pile();
    ASSERT_TRUE(FileExists(pile + "\\data.bin.vol0+1.par2")) << "the set is on the disks";
    ASSERT_TRUE(DeleteFileA(PartPath(pile, "data.bin", 2).c_str()));

    auto insert = [&](std::vector<std::string> names) {
        EmptyFolder(FloppyDrive::kDir);
        for (const std::string& name : names) {
            ASSERT_TRUE(CopyFileA((pile + "\\" + name).c_str(), (FloppyDrive::kRoot + name).c_str(), FALSE));
        }
    };
    insert({"data.bin.001"});
    MessageBoxAnswerer disks;
    disks.ThenRun([&](const SeenBox&) { insert({}); }, IDTRYAGAIN)  // disk 2, its part deleted
        .Then(IDCONTINUE)
        .ThenRun([&](const SeenBox&) { insert({"data.bin.003", "data.bin.sha256"}); }, IDTRYAGAIN)
        .ThenRun([&](const SeenBox&) { insert({"data.bin.par2", "data.bin.vol0+1.par2"}); }, IDRETRY);
    ScratchDir fromDisks;
    EXPECT_TRUE(JoinWithRepair(FloppyDrive::kDir, fromDisks.path(), disks)) << disks.Describe();
    ASSERT_EQ(4u, disks.Count()) << disks.Describe();
    EXPECT_EQ("Insert the disk with the recovery volumes of data.bin and retry", disks.Last().text);
    EXPECT_TRUE(ReadBytes(fromDisks / "data.bin") == source);
    EXPECT_EQ(std::vector<std::string>{"data.bin"}, ListFiles(fromDisks.path()));
    EXPECT_EQ(2u, lastJoinRepair.rebuilt[0]);

    ScratchDir joined;
    EXPECT_TRUE(JoinWithRepair(pile, joined.path(), boxes)) << boxes.Describe();
    EXPECT_EQ(2u, lastJoinRepair.rebuilt[0]);
    EXPECT_TRUE(ReadBytes(joined / "data.bin") == source);
}
}  // namespace
