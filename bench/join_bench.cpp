// Times the join inside its own process, so that Wine's start-up is not counted.
// Run by scripts/bench.sh:
//   velk_join_bench join    FIRSTPART DEST   one JoinFile as the program runs it: the
//                                            progress window open, each part's SHA-256
//                                            taken as it is copied and checked
//   velk_join_bench nocheck FIRSTPART DEST   the same without the SHA-256
// Prints "join_ms <ms> parts <n> bytes <n>"; exit code 0 when the file was joined.
#include <windows.h>

#include "bench/windows_clock.h"

#include <cstdio>
#include <cstring>

#include "app/split_progress.h"
#include "core/app_state.h"
#include "join/join_run.h"

int main(int argc, char** argv) {
    if (argc != 4 || (std::strcmp(argv[1], "join") != 0 && std::strcmp(argv[1], "nocheck") != 0)) {
        std::fprintf(stderr, "usage: velk_join_bench join|nocheck FIRSTPART DEST\n");
        return 2;
    }
    if (!CopyText(appState.sourcePath, argv[2]) || !CopyText(appState.destDir, argv[3])) return 2;
    joinCheckParts = std::strcmp(argv[1], "join") == 0;
    JoinPreview preview;
    if (!PreviewJoin(appState.sourcePath, preview)) return 2;
    appState.fileSize = preview.bytes;
    appState.partCount = preview.parts;
    double start = Now();
    OpenSplitProgress(nullptr);
    bool joined = JoinFile();
    CloseSplitProgress();
    double end = Now();
    std::printf("join_ms %.1f parts %llu bytes %llu\n", end - start,
                static_cast<unsigned long long>(appState.partCount),
                static_cast<unsigned long long>(appState.fileSize));
    return joined && (!joinCheckParts || !JoinedWithoutList()) ? 0 : 1;
}
