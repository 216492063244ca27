// Times the join inside its own process, so that Wine's start-up is not counted.
// Run by scripts/bench.sh:
//   velk_join_bench join    FIRSTPART DEST   one JoinFile as the program runs it: the
//                                            progress window open, each part's SHA-256
//                                            taken as it is copied and checked
//   velk_join_bench nocheck FIRSTPART DEST   the same without the SHA-256
//   velk_join_bench floor   FIRSTPART DEST   the floor of the join's design under Wine:
//                                            per part only the calls it needs (opened,
//                                            mapped, written from its view into the
//                                            joined file, unmapped, closed)
// Prints "join_ms <ms> parts <n> bytes <n>"; exit code 0 when the file was joined.
#include <windows.h>

#include "bench/windows_clock.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "app/split_progress.h"
#include "core/app_state.h"
#include "join/join_run.h"

namespace {
// The parts "<first part without 001><number>" in order into DEST\joined.
int Floor(const char* firstPart, const char* dest) {
    double start = Now();
    char out[MAX_PATH];
    std::snprintf(out, sizeof out, "%s\\joined", dest);
    HANDLE joined = CreateFileA(out, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (joined == INVALID_HANDLE_VALUE) return 1;
    std::string stem(firstPart, std::strlen(firstPart) - 3);
    unsigned long long bytes = 0;
    unsigned long parts = 0;
    for (;; ++parts) {
        char path[MAX_PATH];
        std::snprintf(path, sizeof path, "%s%03lu", stem.c_str(), parts + 1);
        HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                                  nullptr);
        if (file == INVALID_HANDLE_VALUE) break;
        DWORD size = GetFileSize(file, nullptr);
        HANDLE mapping = CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
        void* view = mapping ? MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0) : nullptr;
        DWORD written = 0;
        bool ok = view && WriteFile(joined, view, size, &written, nullptr) && written == size;
        if (view) UnmapViewOfFile(view);
        if (mapping) CloseHandle(mapping);
        CloseHandle(file);
        if (!ok) return 1;
        bytes += size;
    }
    CloseHandle(joined);
    std::printf("join_ms %.1f parts %lu bytes %llu\n", Now() - start, parts, bytes);
    return parts != 0 ? 0 : 1;
}
}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "floor") == 0) return Floor(argv[2], argv[3]);
    if (argc != 4 || (std::strcmp(argv[1], "join") != 0 && std::strcmp(argv[1], "nocheck") != 0)) {
        std::fprintf(stderr, "usage: velk_join_bench join|nocheck|floor FIRSTPART DEST\n");
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
