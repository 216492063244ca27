#include "recovery/file_io.h"

namespace {
bool Seek(HANDLE file, unsigned long long offset) {
    LONG high = static_cast<LONG>(offset >> 32);
    SetLastError(NO_ERROR);
    DWORD low = SetFilePointer(file, static_cast<LONG>(offset & 0xFFFFFFFFu), &high, FILE_BEGIN);
    return !(low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR);
}
}  // namespace

bool ReadAt(HANDLE file, unsigned long long offset, void* buffer, DWORD length) {
    DWORD read = 0;
    return Seek(file, offset) && ReadFile(file, buffer, length, &read, nullptr) && read == length;
}

bool WriteAt(HANDLE file, unsigned long long offset, const void* buffer, DWORD length) {
    DWORD written = 0;
    return Seek(file, offset) && WriteFile(file, buffer, length, &written, nullptr) &&
           written == length;
}

bool SizeOf(HANDLE file, unsigned long long* size) {
    DWORD high = 0;
    SetLastError(NO_ERROR);
    DWORD low = GetFileSize(file, &high);
    if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return false;
    *size = static_cast<unsigned long long>(high) << 32 | low;
    return true;
}

HANDLE CreateSized(const char* path, unsigned long long size) {
    HANDLE file = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return file;
    if (!Seek(file, size) || !SetEndOfFile(file)) {
        CloseHandle(file);
        DeleteFileA(path);
        return INVALID_HANDLE_VALUE;
    }
    return file;
}

HANDLE OpenForReading(const char* path) {
    return CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}
