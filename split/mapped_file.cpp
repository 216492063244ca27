#include "split/mapped_file.h"

#include <cstring>

MappedFile::MappedFile()
    : cursor(nullptr),
      size(0),
      existed(0),
      viewBase(nullptr),
      offset(0),
      readOnly(true),
      mappingHandle(nullptr),
      fileHandle(nullptr),
      stage(Closed) {}

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
        // Sizes are 32-bit: a file of 4 GiB or more is refused rather than cut
        // down to the bytes of its low part.
        DWORD high = 0;
        DWORD low = GetFileSize(fileHandle, &high);
        if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return 0;
        if (high != 0) return 0;
        size = low;
        protection = PAGE_READONLY;
    }
    HANDLE mapping = CreateFileMappingA(fileHandle, nullptr, protection, 0, size, nullptr);
    if (mapping == nullptr) return 0;
    mappingHandle = mapping;
    stage = MappingCreated;

    void* view = MapViewOfFile(mappingHandle, readOnly ? FILE_MAP_READ : FILE_MAP_WRITE, 0, 0, 0);
    if (view == nullptr) return 0;
    viewBase = static_cast<BYTE*>(view);
    cursor = viewBase;
    stage = ViewMapped;
    return 1;
}

DWORD MappedFile::Room(DWORD length) const {
    // Before a view exists there is nothing to move through.
    if (stage != ViewMapped) return 0;
    DWORD left = size - offset;
    return length < left ? length : left;
}

int MappedFile::Write(const void* source, DWORD length) {
    length = Room(length);
    if (length == 0 || readOnly) return 0;
    std::memcpy(cursor, source, length);
    offset += length;
    cursor += length;
    return 1;
}

bool MappedFile::Skip(DWORD length) {
    length = Room(length);
    if (length == 0) return false;
    offset += length;
    cursor += length;
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
        UnmapViewOfFile(viewBase);
        CloseHandle(mappingHandle);
        if (!readOnly) {
            // The high part is given as 0 so that offsets from 2 GiB up are not
            // taken as moves backwards.
            LONG high = 0;
            SetFilePointer(fileHandle, static_cast<LONG>(offset), &high, FILE_BEGIN);
            SetEndOfFile(fileHandle);
        }
        CloseHandle(fileHandle);
        return true;
    default:
        return false;
    }
}
