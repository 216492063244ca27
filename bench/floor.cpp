// The floor of the engine's design on this machine, natively on Linux: one
// mapping of the source, and per part one file created at its length, one
// mapping of it and one memory copy.
//   velk_floor SOURCE DESTDIR SPLITSIZE
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {
double Now() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1000.0 + now.tv_nsec / 1e6;
}
}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: velk_floor SOURCE DESTDIR SPLITSIZE\n");
        return 2;
    }
    int in = open(argv[1], O_RDONLY);
    struct stat st;
    if (in < 0 || fstat(in, &st) != 0 || st.st_size == 0) return 1;
    size_t size = static_cast<size_t>(st.st_size);
    size_t splitSize = std::strtoul(argv[3], nullptr, 10);
    const char* base = std::strrchr(argv[1], '/');
    base = base ? base + 1 : argv[1];
    void* source = mmap(nullptr, size, PROT_READ, MAP_SHARED, in, 0);
    if (source == MAP_FAILED) return 1;
    double start = Now(), create = 0, copy = 0, closing = 0;
    unsigned part = 1;
    for (size_t at = 0; at < size; at += splitSize, ++part) {
        size_t length = size - at < splitSize ? size - at : splitSize;
        char path[4096];
        std::snprintf(path, sizeof path, "%s/%s.%03u", argv[2], base, part);
        double t0 = Now();
        int out = open(path, O_RDWR | O_CREAT | O_TRUNC, 0644);
        if (out < 0 || ftruncate(out, static_cast<off_t>(length)) != 0) return 1;
        void* view = mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_SHARED, out, 0);
        if (view == MAP_FAILED) return 1;
        double t1 = Now();
        std::memcpy(view, static_cast<const char*>(source) + at, length);
        double t2 = Now();
        munmap(view, length);
        close(out);
        double t3 = Now();
        create += t1 - t0;
        copy += t2 - t1;
        closing += t3 - t2;
    }
    munmap(source, size);
    close(in);
    // Where the time goes, for comparison with the engine's own profile.
    std::fprintf(stderr, "floor_profile_ms total %.1f create_and_map %.1f copy %.1f unmap_close %.1f\n",
                 Now() - start, create, copy, closing);
    return 0;
}
