#include "join/join_set.h"

#include <shlwapi.h>

#include <cstring>

namespace {
constexpr char kFirstEnding[] = ".001";
constexpr std::size_t kFirstEndingLength = sizeof kFirstEnding - 1;

// The root of the drive that holds the path ("A:\"), for its drive type.
bool RootOf(const char* path, char (&root)[kPathSize]) {
    DWORD length = GetFullPathNameA(path[0] != '\0' ? path : ".", kPathSize, root, nullptr);
    if (length == 0 || length >= kPathSize) return false;
    return PathStripToRootA(root) && AddBackslash(root);
}

// The name of part `index` as the list spells it: the set's name in UTF-8, a point
// and the number. False when the name has no UTF-8 spelling.
bool Utf8PartName(const JoinSet& set, unsigned long long index, char* out, int size) {
    char ansi[kPathSize + 24];
    wchar_t wide[kPathSize + 24];
    return FormatText(ansi, sizeof ansi, "%s.%03llu", set.name, index) &&
           MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, ansi, -1, wide, kPathSize + 24) != 0 &&
           WideCharToMultiByte(CP_UTF8, 0, wide, -1, out, size, nullptr, nullptr) != 0;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The digests read so far, in memory that grows with the lines.
struct DigestStore {
    BYTE* bytes = nullptr;
    unsigned long long count = 0;
    unsigned long long capacity = 0;

    bool Add(const BYTE (&digest)[kDigestSize]) {
        if (count == capacity) {
            unsigned long long grown = capacity < 1024 ? 1024 : capacity * 2;
            if (grown > 0x7FFFFFFFull / kDigestSize) return false;
            void* memory = bytes == nullptr
                               ? HeapAlloc(GetProcessHeap(), 0, grown * kDigestSize)
                               : HeapReAlloc(GetProcessHeap(), 0, bytes, grown * kDigestSize);
            if (memory == nullptr) return false;
            bytes = static_cast<BYTE*>(memory);
            capacity = grown;
        }
        std::memcpy(bytes + count * kDigestSize, digest, kDigestSize);
        ++count;
        return true;
    }
    void Free() {
        if (bytes != nullptr) HeapFree(GetProcessHeap(), 0, bytes);
        bytes = nullptr;
        count = capacity = 0;
    }
};

// One line without its line end: 64 hex digits, two blanks, part `index`'s name.
bool ParseLine(const JoinSet& set, const char* line, std::size_t length,
               unsigned long long index, DigestStore& store) {
    if (length < 2 * kDigestSize + 3 || line[2 * kDigestSize] != ' ' ||
        line[2 * kDigestSize + 1] != ' ') {
        return false;
    }
    BYTE digest[kDigestSize];
    for (DWORD i = 0; i < kDigestSize; ++i) {
        int high = HexValue(line[2 * i]);
        int low = HexValue(line[2 * i + 1]);
        if (high < 0 || low < 0) return false;
        digest[i] = static_cast<BYTE>(high * 16 + low);
    }
    char expected[4 * kPathSize + 24];
    if (!Utf8PartName(set, index, expected, sizeof expected)) return false;
    const char* named = line + 2 * kDigestSize + 2;
    std::size_t namedLength = length - (2 * kDigestSize + 2);
    return namedLength == std::strlen(expected) &&
           std::memcmp(named, expected, namedLength) == 0 && store.Add(digest);
}

// The lines of the open list, read a block at a time; false at the first line
// that is not the next part's.
bool ParseList(const JoinSet& set, HANDLE file, DigestStore& store) {
    // Room for the longest line a set can have, and a block to read into after it.
    constexpr DWORD kLineRoom = 2 * kDigestSize + 4 + 4 * kPathSize + 24;
    constexpr DWORD kBlock = 64u << 10;
    static char buffer[kLineRoom + kBlock];
    DWORD held = 0;
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(file, buffer + held, kBlock, &read, nullptr)) return false;
        if (read == 0) return held == 0 && store.count != 0;  // a last line without its end
        held += read;
        DWORD start = 0;
        for (DWORD i = 0; i < held; ++i) {
            if (buffer[i] != '\n') continue;
            DWORD end = i;
            if (end > start && buffer[end - 1] == '\r') --end;  // a list saved by a Windows editor
            if (!ParseLine(set, buffer + start, end - start, store.count + 1, store)) return false;
            start = i + 1;
        }
        held -= start;
        if (held > kLineRoom) return false;  // no line of a list is that long
        std::memmove(buffer, buffer + start, held);
    }
}
}  // namespace

bool IsFirstPart(const char* path) {
    const char* name = PathFindFileNameA(path);
    std::size_t length = std::strlen(name);
    return length > kFirstEndingLength &&
           std::strcmp(name + length - kFirstEndingLength, kFirstEnding) == 0;
}

bool OpenJoinSet(const char* firstPart, JoinSet& set) {
    set = JoinSet{};
    if (!IsFirstPart(firstPart)) return false;
    const char* name = PathFindFileNameA(firstPart);
    std::size_t folderLength = name - firstPart;
    std::size_t nameLength = std::strlen(name) - kFirstEndingLength;
    if (folderLength >= kPathSize || nameLength >= kPathSize) return false;
    std::memcpy(set.folder, firstPart, folderLength);
    set.folder[folderLength] = '\0';
    std::memcpy(set.name, name, nameLength);
    set.name[nameLength] = '\0';
    char root[kPathSize];
    set.removable = RootOf(set.folder, root) && GetDriveTypeA(root) == DRIVE_REMOVABLE;
    // The parts from 1000 on take a digit more: the last one must fit a path too.
    char probe[kPathSize];
    return PartPath(set, 1, probe);
}

void CloseJoinSet(JoinSet& set) {
    if (set.digests != nullptr) HeapFree(GetProcessHeap(), 0, set.digests);
    set.digests = nullptr;
    set.listed = false;
}

bool PartPath(const JoinSet& set, unsigned long long index, char (&path)[kPathSize]) {
    return FormatText(path, sizeof path, "%s%s.%03llu", set.folder, set.name, index);
}

bool PartLength(const JoinSet& set, unsigned long long index, unsigned long long& length) {
    char path[kPathSize];
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!PartPath(set, index, path) || !GetFileAttributesExA(path, GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        return false;
    }
    length = (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    return true;
}

PartList ReadPartList(JoinSet& set) {
    CloseJoinSet(set);
    char path[kPathSize];
    if (!FormatText(path, sizeof path, "%s%s.sha256", set.folder, set.name)) {
        return PartList::Absent;
    }
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? PartList::Absent
                                                                              : PartList::Refused;
    }
    DigestStore store;
    bool parsed = ParseList(set, file, store);
    CloseHandle(file);
    if (!parsed) {
        store.Free();
        return PartList::Refused;
    }
    set.digests = store.bytes;
    set.partCount = store.count;
    set.listed = true;
    return PartList::Read;
}

void CountPartsFound(const JoinSet& set, unsigned long long& parts, unsigned long long& bytes) {
    parts = 0;
    bytes = 0;
    unsigned long long length = 0;
    while (PartLength(set, parts + 1, length)) {
        ++parts;
        bytes += length;
    }
}
