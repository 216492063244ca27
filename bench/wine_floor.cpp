// The floor of the engine's design under Wine, built as a Windows program and run
// under the same Wine as the engine: the source seen through read-only views of
// 64 MiB, and per part only the calls the design needs (the file created, mapped
// at the part's length, one memory copy, the view unmapped, both handles closed).
// engine/this is the engine's own overhead. Timed inside its own process.
//   velk_wine_floor SOURCE DESTDIR SPLITSIZE
#include <windows.h>

#include "bench/windows_clock.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr DWORD kWindow = 64u << 20;
constexpr DWORD kGranularity = 65536;
}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: velk_wine_floor SOURCE DESTDIR SPLITSIZE\n");
        return 2;
    }
    double start = Now();
    HANDLE in = CreateFileA(argv[1], GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (in == INVALID_HANDLE_VALUE) return 1;
    DWORD size = GetFileSize(in, nullptr);
    HANDLE source = CreateFileMappingA(in, nullptr, PAGE_READONLY, 0, 0, nullptr);
    if (size == 0 || source == nullptr) return 1;
    DWORD splitSize = std::strtoul(argv[3], nullptr, 10);
    const char* base = std::strrchr(argv[1], '\\');
    base = base ? base + 1 : argv[1];
    const BYTE* view = nullptr;
    DWORD viewStart = 0, viewLength = 0;
    double create = 0, copy = 0, closing = 0;
    unsigned long part = 1;
    for (DWORD at = 0; at < size; at += splitSize, ++part) {
        DWORD length = size - at < splitSize ? size - at : splitSize;
        // The source's window moves on when the part leaves it, as the engine's does.
        if (view == nullptr || at + length > viewStart + viewLength) {
            if (view != nullptr) UnmapViewOfFile(view);
            viewStart = at / kGranularity * kGranularity;
            viewLength = at - viewStart + length > kWindow ? at - viewStart + length : kWindow;
            if (viewLength > size - viewStart) viewLength = size - viewStart;
            view = static_cast<const BYTE*>(
                MapViewOfFile(source, FILE_MAP_READ, 0, viewStart, viewLength));
            if (view == nullptr) return 1;
        }
        char path[MAX_PATH];
        std::snprintf(path, sizeof path, "%s\\%s.%03lu", argv[2], base, part);
        double t0 = Now();
        HANDLE out = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
        if (out == INVALID_HANDLE_VALUE) return 1;
        HANDLE mapping = CreateFileMappingA(out, nullptr, PAGE_READWRITE, 0, length, nullptr);
        void* target = mapping ? MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, length) : nullptr;
        if (target == nullptr) return 1;
        double t1 = Now();
        std::memcpy(target, view + (at - viewStart), length);
        double t2 = Now();
        UnmapViewOfFile(target);
        CloseHandle(mapping);
        CloseHandle(out);
        double t3 = Now();
        create += t1 - t0;
        copy += t2 - t1;
        closing += t3 - t2;
    }
    UnmapViewOfFile(view);
    CloseHandle(source);
    CloseHandle(in);
    std::printf("wine_floor_ms %.1f create_and_map %.1f copy %.1f unmap_close %.1f parts %lu\n",
                Now() - start, create, copy, closing, part - 1);
    return 0;
}
