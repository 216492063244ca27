// The drives that the test script makes in the test prefix:
//  A: a removable floppy of 1440 KiB (a tmpfs marked as a floppy drive);
//  Q: a fixed disk of 64 KiB (a tmpfs marked as a hard disk), too small for a part.
// Tests that need one call the SKIP macro first: without the mount they skip.
#pragma once

#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "tests/support/test_files.h"

class FloppyDrive {
public:
    static bool Available();
    static constexpr const char* kRoot = "A:\\";
    static constexpr const char* kDir = "A:";

    // Starts with an empty disk in the drive.
    FloppyDrive();
    // Leaves an empty disk in the drive.
    ~FloppyDrive();

    // "Insert another disk": takes every file off the floppy and keeps it in the pile
    // of disks taken out, as a person keeps the disks; the drive is then empty.
    void InsertEmptyDisk();
    // Where the files of every disk taken out so far (and of the one still in the
    // drive, after GatherAll) are kept: one folder for all of them.
    const std::string& Pile() const { return pile_.path(); }
    // Moves what is on the disk in the drive onto the pile too.
    void GatherAll() { InsertEmptyDisk(); }
    int DisksTakenOut() const { return disks_; }
    unsigned long long FreeBytes() const;

private:
    ScratchDir pile_;
    int disks_ = 0;
};

class SmallFixedDisk {
public:
    static bool Available();
    static constexpr const char* kRoot = "Q:\\";
    SmallFixedDisk();
    ~SmallFixedDisk();
};

void EmptyFolder(const std::string& folder);

#define SKIP_WITHOUT_FLOPPY()                                                       \
    do {                                                                            \
        if (!FloppyDrive::Available())                                              \
            GTEST_SKIP() << "no removable floppy drive A: (the tmpfs mount was refused)"; \
    } while (0)

#define SKIP_WITHOUT_SMALL_DISK()                                                   \
    do {                                                                            \
        if (!SmallFixedDisk::Available())                                           \
            GTEST_SKIP() << "no small fixed disk Q: (the tmpfs mount was refused)";  \
    } while (0)
