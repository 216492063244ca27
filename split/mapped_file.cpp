#include "split/mapped_file.h"

#include <cstring>

DWORD mappedWindowSize = kDefaultMappedWindow;

MappedFile::MappedFile()
    : cursor(nullptr),
      size(0),
      existed(0),
      viewBase(nullptr),
      offset(0),
      readOnly(true),
      mappingHandle(nullptr),
      fileHandle(nullptr),
      stage(Closed),
      viewOffset(0),
      viewLength(0) {}

MappedFile::~MappedFile() { Release(); }

int MappedFile::OpenForWrite(const char* path, DWORD newSize) {
    if (newSize == 0) return 0;
    size = newSize;
    readOnly = false;
    // No sharing: nobody else may open a part or the script while it is written.
    HANDLE file = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 0;
    existed = GetLastError() == ERROR_ALREADY_EXISTS ? 2 : 1;
    fileHandle = file;
    stage = FileOpen;
    return MapView();
}

int MappedFile::OpenForRead(const char* path) {
    readOnly = true;
    // The source may stay open for reading and writing in other programs.
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 0;
    fileHandle = file;
    stage = FileOpen;
    return MapView();
}

int MappedFile::MapView() {
    if (stage != FileOpen) return 0;
    DWORD protection = PAGE_READWRITE;
    if (readOnly) {
        // The whole size, high part too: the low part alone of a source of
        // 4 GiB or more would look like a small file.
        DWORD high = 0;
        // A low part of all ones reads as INVALID_FILE_SIZE too: only the error code tells.
        SetLastError(NO_ERROR);
        DWORD low = GetFileSize(fileHandle, &high);
        if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return 0;
        size = static_cast<ULONGLONG>(high) << 32 | low;
        protection = PAGE_READONLY;
    }
    HANDLE mapping = CreateFileMappingA(fileHandle, nullptr, protection,
                                        static_cast<DWORD>(size >> 32),
                                        static_cast<DWORD>(size), nullptr);
    if (mapping == nullptr) return 0;
    mappingHandle = mapping;
    stage = MappingCreated;

    viewOffset = 0;
    viewLength = 0;
    if (!MoveWindow()) return 0;
    stage = ViewMapped;
    return 1;
}

namespace {
DWORD AllocationGranularity() {
    static DWORD granularity = 0;
    if (granularity == 0) {
        SYSTEM_INFO system;
        GetSystemInfo(&system);
        granularity = system.dwAllocationGranularity ? system.dwAllocationGranularity : 65536;
    }
    return granularity;
}
}  // namespace

bool MappedFile::MoveWindow() {
    DWORD granularity = AllocationGranularity();
    DWORD window = mappedWindowSize / granularity * granularity;
    if (window == 0) window = granularity;
    ULONGLONG start = offset / granularity * granularity;
    DWORD length = size - start < window ? static_cast<DWORD>(size - start) : window;
    if (viewBase != nullptr) UnmapViewOfFile(viewBase);
    viewBase = nullptr;
    cursor = nullptr;
    void* view = MapViewOfFile(mappingHandle, readOnly ? FILE_MAP_READ : FILE_MAP_WRITE,
                               static_cast<DWORD>(start >> 32), static_cast<DWORD>(start), length);
    if (view == nullptr) {
        // The stage stays: a writer is still cut back to the bytes it holds.
        viewLength = 0;
        return false;
    }
    viewBase = static_cast<BYTE*>(view);
    viewOffset = start;
    viewLength = length;
    cursor = viewBase + (offset - start);
    return true;
}

DWORD MappedFile::Available() {
    if (stage != ViewMapped || offset >= size) return 0;
    if (offset - viewOffset >= viewLength && !MoveWindow()) return 0;
    return static_cast<DWORD>(viewOffset + viewLength - offset);
}

bool MappedFile::AtViewEnd() const {
    return stage == ViewMapped && offset < size && offset - viewOffset >= viewLength;
}

DWORD MappedFile::Room(DWORD length) const {
    // Before a view exists there is nothing to move through.
    if (stage != ViewMapped) return 0;
    ULONGLONG left = size - offset;
    return length < left ? length : static_cast<DWORD>(left);
}

int MappedFile::Write(const void* source, DWORD length) {
    length = Room(length);
    if (length == 0 || readOnly) return 0;
    const BYTE* from = static_cast<const BYTE*>(source);
    DWORD copied = 0;
    while (copied < length) {
        DWORD room = Available();
        if (room == 0) break;  // the next window could not be mapped
        DWORD piece = length - copied < room ? length - copied : room;
        std::memcpy(cursor, from + copied, piece);
        offset += piece;
        cursor += piece;
        copied += piece;
    }
    return copied != 0 ? 1 : 0;
}

bool MappedFile::Skip(DWORD length) {
    length = Room(length);
    if (length == 0) return false;
    offset += length;
    // Up to the view's end the cursor follows; past it the next Available() maps on.
    cursor = offset - viewOffset <= viewLength ? cursor + length : nullptr;
    return true;
}

int MappedFile::Close() {
    if (!Release()) return 0;
    stage = Closed;
    return 1;
}

bool MappedFile::Release() {
    switch (stage) {
    case Closed:
        return true;
    case FileOpen:
        CloseHandle(fileHandle);
        return true;
    case MappingCreated:
        CloseHandle(mappingHandle);
        CloseHandle(fileHandle);
        return true;
    case ViewMapped:
        // The view and the mapping go before the file is cut back: while either
        // exists the file cannot be made shorter than the mapping.
        if (viewBase != nullptr) UnmapViewOfFile(viewBase);
        CloseHandle(mappingHandle);
        // A file written whole is already its length: only a short one is cut back.
        if (!readOnly && offset != size) {
            // The high part is given so that offsets from 2 GiB up are not taken
            // as moves backwards.
            LONG high = static_cast<LONG>(offset >> 32);
            SetFilePointer(fileHandle, static_cast<LONG>(offset), &high, FILE_BEGIN);
            SetEndOfFile(fileHandle);
        }
        CloseHandle(fileHandle);
        return true;
    default:
        return false;
    }
}
