// Recovery sets written after real splits, read by Debian's par2 and by the
// program's own repair: whole, then with parts deleted or damaged.
#include <string>
#include <vector>

#include "core/app_state.h"
#include "gtest/gtest.h"
#include "recovery/galois.h"
#include "recovery/recovery_repair.h"
#include "recovery/recovery_writer.h"
#include "recovery/slice_engine.h"
#include "split/split_run.h"
#include "tests/support/test_files.h"
#include "tests/support/unix_command.h"

namespace {
std::string PartPath(const ScratchDir& dir, const std::string& name, unsigned part) {
    char number[16];
    std::snprintf(number, sizeof number, ".%03u", part);
    return dir / (name + number);
}

// Splits a patterned source of `size` into parts of `splitSize` in dest with a set
// that survives `losses`; returns the source's bytes.
std::vector<char> SplitWithSet(const ScratchDir& sources, const ScratchDir& dest,
                               const std::string& name, size_t size, DWORD splitSize,
                               DWORD losses) {
    ResetAppState();
    std::vector<char> bytes = PatternBytes(size, static_cast<unsigned>(size));
    EXPECT_TRUE(WriteBytes(sources / name, bytes));
    CopyText(appState.sourcePath, (sources / name).c_str());
    CopyText(appState.destDir, dest.path().c_str());
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

std::vector<char> JoinParts(const ScratchDir& dir, DWORD count) {
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
};

const DamageCase kCases[] = {
    {"floppy parts, first deleted", 3000000, kFloppySplitSize, 1, {1}, {}, true},
    {"floppy parts, middle damaged", 3000000, kFloppySplitSize, 1, {}, {2}, true},
    {"floppy parts, last and short deleted", 3000000, kFloppySplitSize, 1, {3}, {}, true},
    {"odd size, several at once", 1000003, 100001, 3, {1, 10}, {6}, true},
    {"one part only, damaged", 5001, 65536, 1, {}, {1}, true},
    {"more lost than the set covers", 1000003, 100001, 2, {2, 4}, {9}, false},
};

class RecoverySet : public ::testing::TestWithParam<DamageCase> {};

// par2 rebuilds in one copy of the damaged folder, the program's repair in another.
TEST_P(RecoverySet, Par2AndRepairRebuildWhatWasLost) {
    const DamageCase& c = GetParam();
    ScratchDir sources, dest, copy;
    std::vector<char> source = SplitWithSet(sources, dest, "data.bin", c.size, c.splitSize, c.losses);
    DWORD parts = appState.partCount;
    ASSERT_EQ(c.losses, lastRecoverySet.partsCovered);
    EXPECT_EQ(0, Par2(dest, "verify", "data.bin")) << c.label << ": the whole set";
    for (unsigned part : c.deleted) ASSERT_TRUE(DeleteFileA(PartPath(dest, "data.bin", part).c_str()));
    for (unsigned part : c.damaged) Damage(PartPath(dest, "data.bin", part));
    CopyFolder(dest, copy);
    std::vector<std::string> before = ListFiles(copy.path());
    std::vector<char> damaged = JoinParts(copy, parts);

    RepairReport report;
    bool repaired = RepairParts((copy.path() + "\\").c_str(), "data.bin", &report);
    EXPECT_EQ(c.recoverable, repaired) << c.label;
    EXPECT_EQ(0u + c.deleted.size() + c.damaged.size(), report.badParts) << c.label;
    if (c.recoverable) {
        EXPECT_EQ(RepairOutcome::Rebuilt, report.outcome) << c.label;
        EXPECT_EQ(report.badParts, report.rebuiltCount) << c.label;
        EXPECT_TRUE(JoinParts(copy, parts) == source) << c.label << ": the repair's parts differ";
        EXPECT_EQ(0, Par2(dest, "repair", "data.bin")) << c.label;
        EXPECT_TRUE(JoinParts(dest, parts) == source) << c.label << ": par2's parts differ";
    } else {
        EXPECT_EQ(RepairOutcome::TooDamaged, report.outcome) << c.label;
        EXPECT_EQ(before, ListFiles(copy.path())) << c.label << ": files written or removed";
        EXPECT_TRUE(JoinParts(copy, parts) == damaged) << c.label << ": parts changed";
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
