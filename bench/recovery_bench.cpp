// Times a split with its recovery set inside its own process (Wine's start-up not
// counted). Run by scripts/bench.sh:
//   velk_recovery_bench run   SOURCE DEST SPLITSIZE K   SplitFile, the set for K lost
//                                                      parts (none for 0), the script;
//                                                      prints the milliseconds of each step
//   velk_recovery_bench space SOURCE DEST SPLITSIZE K   the same; the most address space
//                                                      in use while the set is made
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "bench/address_space.h"
#include "bench/windows_clock.h"
#include "core/app_state.h"
#include "recovery/recovery_writer.h"
#include "split/merge_script.h"
#include "split/split_run.h"

namespace {
bool Prepare(const char* source, const char* dest, const char* splitSize) {
    CopyText(appState.sourcePath, source);
    CopyText(appState.destDir, dest);
    HANDLE file = CreateFileA(source, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    appState.fileSize = GetFileSize(file, nullptr);
    CloseHandle(file);
    appState.splitSize = std::strtoul(splitSize, nullptr, 10);
    ComputePartCount();
    return true;
}

unsigned long long peakSpace = 0;
bool NotePeakSpace(unsigned long long, unsigned long long) {
    unsigned long long used = AddressSpaceInUse();
    if (used > peakSpace) peakSpace = used;
    return true;
}
}  // namespace

int main(int argc, char** argv) {
    if (argc != 6 || !Prepare(argv[2], argv[3], argv[4])) {
        std::fprintf(stderr, "usage: velk_recovery_bench run|space SOURCE DEST SPLITSIZE K\n");
        return 2;
    }
    DWORD losses = std::strtoul(argv[5], nullptr, 10);
    bool space = std::strcmp(argv[1], "space") == 0;
    unsigned long long before = AddressSpaceInUse();
    if (space) recoveryProgressHook = NotePeakSpace;
    recoveryTimings = RecoveryTimings{0, 0, 0};
    double start = Now();
    bool ok = SplitFile();
    double split = Now();
    ok = ok && WriteRecoverySet(losses);
    double recovery = Now();
    scriptRecoveryParts = losses;
    ok = ok && WriteMergeScript();
    double end = Now();
    if (!ok) {
        std::fprintf(stderr, "velk_recovery_bench: the run failed\n");
        return 1;
    }
    if (space) {
        std::printf("peak_mib %.1f before_mib %.1f set_mib %.1f\n", peakSpace / 1048576.0,
                    before / 1048576.0, (peakSpace - before) / 1048576.0);
        return 0;
    }
    std::printf("%.1f %.1f %.1f %.1f %.1f %.1f\n", end - start, split - start + (end - recovery),
                recoveryTimings.checksums, recoveryTimings.computation, recoveryTimings.writing,
                recovery - split);
    return 0;
}
