// Times the split engine inside its own process, so that Wine's start-up is not
// counted. Run by scripts/bench.sh:
//   velk_bench split   SOURCE DEST SPLITSIZE   one SplitFile and WriteMergeScript as the
//                                              program runs them: parts copied in slices,
//                                              the progress window open and its hook
//                                              handling the waiting messages
//   velk_bench nohash  SOURCE DEST SPLITSIZE   as split, but no SHA-256 taken of the
//                                              parts: the run without hashing
//   velk_bench whole   SOURCE DEST SPLITSIZE   as nohash with each part copied at once
//                                              and no hook: the run without slicing and
//                                              message handling, to compare with
//   velk_bench profile SOURCE DEST SPLITSIZE   the same steps, timed one by one
//   velk_bench space   SOURCE DEST SPLITSIZE   one SplitFile; the most address space
//                                              in use at any slice, and before the run
//   velk_bench merge   DEST SCRIPT             the script run by cmd.exe in DEST
//   velk_bench sha256  SOURCE [cryptoapi]      the SHA-256 of the source alone, slice
//                                              after slice with nothing beside it: what
//                                              the hashing thread has to do in a run
//                                              (through CryptoAPI even where CNG is)
#include <windows.h>

#include "bench/address_space.h"
#include "bench/windows_clock.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/split_progress.h"
#include "core/app_state.h"
#include "split/free_space.h"
#include "split/mapped_file.h"
#include "split/merge_script.h"
#include "split/part_hasher.h"
#include "split/platform_sha256.h"
#include "split/split_run.h"

namespace {

bool Prepare(const char* source, const char* dest, const char* splitSize) {
    CopyText(appState.sourcePath, source);
    CopyText(appState.destDir, dest);
    HANDLE file = CreateFileA(source, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        std::fprintf(stderr, "velk_bench: cannot open %s\n", source);
        return false;
    }
    DWORD high = 0;
    DWORD low = GetFileSize(file, &high);
    appState.fileSize = static_cast<ULONGLONG>(high) << 32 | low;
    CloseHandle(file);
    appState.splitSize = std::strtoul(splitSize, nullptr, 10);
    ComputePartCount();
    return true;
}

// The progress window's hook, and the time spent in it: the bench puts itself in
// between to time it.
SplitProgressHook windowHook = nullptr;
double hookMs = 0;

bool TimedHook(const SplitProgress& progress) {
    double start = Now();
    bool goOn = windowHook(progress);
    hookMs += Now() - start;
    return goOn;
}

// The progress window's opening and closing are timed apart: they cost the same
// for any run, and are not the slicing and message handling compared.
int Split(const char* source, const char* dest, const char* splitSize, bool withProgress) {
    if (!Prepare(source, dest, splitSize)) return 2;
    double opening = Now();
    if (withProgress) {
        OpenSplitProgress(nullptr);
        windowHook = splitProgressHook;
        splitProgressHook = TimedHook;
    } else {
        splitSliceSize = 0xFFFFFFFF;
    }
    double start = Now();
    bool split = SplitFile();
    double splitDone = Now();
    if (withProgress) CloseSplitProgress();
    double closed = Now();
    bool script =
        split && WriteMergeScript();
    double scriptDone = Now();
    std::printf("split_ms %.1f script_ms %.1f parts %llu window_ms %.1f hook_ms %.1f\n",
                splitDone - start, scriptDone - closed, appState.partCount,
                (start - opening) + (closed - splitDone), hookMs);
    return split && script ? 0 : 1;
}

// The steps of one split run, each timed on its own: where the time goes.
int Profile(const char* source, const char* dest, const char* splitSize) {
    if (!Prepare(source, dest, splitSize)) return 2;
    double freeSpace = 0, create = 0, copy = 0, close = 0;
    double start = Now();
    MappedFile reader;
    if (!reader.OpenForRead(appState.sourcePath)) return 1;
    double readerOpen = Now() - start;
    const char* name = std::strrchr(appState.sourcePath, '\\');
    name = name ? name + 1 : appState.sourcePath;
    for (ULONGLONG i = 1; i <= appState.partCount; ++i) {
        DWORD length = i < appState.partCount
                           ? appState.splitSize
                           : static_cast<DWORD>(appState.fileSize -
                                                (appState.partCount - 1) * appState.splitSize);
        double t0 = Now();
        if (CheckFreeSpace(length) != 0) return 1;
        double t1 = Now();
        char path[MAX_PATH];
        std::snprintf(path, sizeof path, "%s\\%s.%03llu", appState.destDir, name, i);
        MappedFile* writer = new MappedFile;
        if (!writer->OpenForWrite(path, length)) return 1;
        double t2 = Now();
        // The reader shows the source through a moving window: copy what each view holds.
        for (DWORD copied = 0, piece; copied < length; copied += piece) {
            DWORD available = reader.Available();
            if (available == 0) return 1;
            piece = length - copied < available ? length - copied : available;
            writer->Write(reader.cursor, piece);
            reader.Skip(piece);
        }
        double t3 = Now();
        writer->Close();
        delete writer;
        double t4 = Now();
        freeSpace += t1 - t0;
        create += t2 - t1;
        copy += t3 - t2;
        close += t4 - t3;
    }
    reader.Close();
    double total = Now() - start;
    std::printf("profile_ms total %.1f reader_open %.1f free_space %.1f create_and_map %.1f "
                "copy %.1f unmap_cut_close %.1f parts %llu\n",
                total, readerOpen, freeSpace, create, copy, close, appState.partCount);
    return 0;
}

unsigned long long peakSpace = 0;

bool NotePeakSpace(const SplitProgress&) {
    unsigned long long used = AddressSpaceInUse();
    if (used > peakSpace) peakSpace = used;
    return true;
}

// Whatever the source's size, the run must hold only a bounded share of the
// address space: the views move along the files.
int Space(const char* source, const char* dest, const char* splitSize) {
    if (!Prepare(source, dest, splitSize)) return 2;
    unsigned long long before = AddressSpaceInUse();
    splitProgressHook = NotePeakSpace;
    bool split = SplitFile();
    splitProgressHook = nullptr;
    std::printf("peak_mib %.1f before_mib %.1f run_mib %.1f parts %llu\n", peakSpace / 1048576.0,
                before / 1048576.0, (peakSpace - before) / 1048576.0, appState.partCount);
    return split ? 0 : 1;
}

int HashAlone(const char* source) {
    MappedFile reader;
    if (!reader.OpenForRead(source) || !BeginHash()) return 1;
    double start = Now();
    for (DWORD available; (available = reader.Available()) != 0;) {
        DWORD piece = available < kSliceSize ? available : kSliceSize;
        AddToHash(reader.cursor, piece);
        WaitForHash();
        reader.Skip(piece);
    }
    BYTE digest[32];
    bool hashed = FinishHash(digest);
    double elapsed = Now() - start;
    EndHashing();
    std::printf("sha256_ms %.1f\n", elapsed);
    return hashed ? 0 : 1;
}

int Merge(const char* dest, const char* script) {
    std::string line = std::string("cmd.exe /c \"\"") + script + "\"\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    // The script's echo lines are not the benchmark's output.
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    startup.hStdOutput =
        CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, nullptr);
    startup.hStdError = startup.hStdOutput;
    PROCESS_INFORMATION process{};
    double start = Now();
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, TRUE, 0, nullptr, dest, &startup,
                        &process)) {
        std::fprintf(stderr, "velk_bench: cannot start %s\n", line.c_str());
        return 2;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    double elapsed = Now() - start;
    DWORD code = 1;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    CloseHandle(startup.hStdOutput);
    std::printf("merge_ms %.1f exit %lu\n", elapsed, static_cast<unsigned long>(code));
    return 0;
}
}  // namespace

int main(int argc, char** argv) {
    // No "insert a disk" box of the system's own for a drive without a medium.
    SetErrorMode(SEM_FAILCRITICALERRORS);
    if (argc == 5 && std::strcmp(argv[1], "split") == 0)
        return Split(argv[2], argv[3], argv[4], true);
    if (argc == 5 && std::strcmp(argv[1], "nohash") == 0) {
        splitHashParts = false;
        return Split(argv[2], argv[3], argv[4], true);
    }
    if (argc == 5 && std::strcmp(argv[1], "whole") == 0) {
        splitHashParts = false;
        return Split(argv[2], argv[3], argv[4], false);
    }
    if (argc == 5 && std::strcmp(argv[1], "profile") == 0)
        return Profile(argv[2], argv[3], argv[4]);
    if (argc == 5 && std::strcmp(argv[1], "space") == 0) return Space(argv[2], argv[3], argv[4]);
    if (argc == 4 && std::strcmp(argv[1], "merge") == 0) return Merge(argv[2], argv[3]);
    if ((argc == 3 || (argc == 4 && std::strcmp(argv[3], "cryptoapi") == 0)) &&
        std::strcmp(argv[1], "sha256") == 0) {
        sha256ThroughCng = argc == 3;
        return HashAlone(argv[2]);
    }
    std::fprintf(stderr,
                 "usage: velk_bench split|nohash|whole|profile|space SOURCE DEST SPLITSIZE\n"
                 "       velk_bench merge DEST SCRIPT\n"
                 "       velk_bench sha256 SOURCE [cryptoapi]\n");
    return 2;
}
