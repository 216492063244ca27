#include "tests/support/test_drives.h"

#include <windows.h>

#include <cstdlib>

namespace {
bool EnvSet(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && value[0] == '1';
}
}  // namespace

void EmptyFolder(const std::string& folder) {
    for (const std::string& name : ListFiles(folder)) {
        std::string full = folder + "\\" + name;
        SetFileAttributesA(full.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(full.c_str());
    }
}

bool FloppyDrive::Available() {
    return EnvSet("VELK_FLOPPY") && GetDriveTypeA(kRoot) == DRIVE_REMOVABLE;
}

FloppyDrive::FloppyDrive() { EmptyFolder(kDir); }

FloppyDrive::~FloppyDrive() { EmptyFolder(kDir); }

void FloppyDrive::InsertEmptyDisk() {
    for (const std::string& name : ListFiles(kDir)) {
        std::string from = std::string(kDir) + "\\" + name;
        std::string to = pile_ / name;
        SetFileAttributesA(from.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (!MoveFileExA(from.c_str(), to.c_str(),
                         MOVEFILE_COPY_ALLOWED | MOVEFILE_REPLACE_EXISTING)) {
            DeleteFileA(from.c_str());
        }
    }
    ++disks_;
}

unsigned long long FloppyDrive::FreeBytes() const {
    ULARGE_INTEGER free{};
    GetDiskFreeSpaceExA(kRoot, &free, nullptr, nullptr);
    return free.QuadPart;
}

bool SmallFixedDisk::Available() {
    return EnvSet("VELK_SMALLDISK") && GetDriveTypeA(kRoot) == DRIVE_FIXED;
}

SmallFixedDisk::SmallFixedDisk() { EmptyFolder("Q:"); }

SmallFixedDisk::~SmallFixedDisk() { EmptyFolder("Q:"); }
