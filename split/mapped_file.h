#pragma once
#include <windows.h>

// How far opening a MappedFile got; it alone decides what Close releases.
enum MapStage : LONG { Closed = 0, FileOpen = 1, MappingCreated = 3, ViewMapped = 4 };

// One file seen as one block of memory with a forward-only cursor: a reader over an
// existing file, or a writer created at a fixed size and cut back on closing.
class MappedFile {
public:
    MappedFile();
    virtual ~MappedFile();

    int OpenForWrite(const char* path, DWORD newSize);
    int OpenForRead(const char* path);
    int MapView();
    int Write(const void* source, DWORD length);
    bool Skip(DWORD length);
    int Close();

    BYTE* cursor;
    DWORD size;
    DWORD existed;
    BYTE* viewBase;
    DWORD offset;
    bool readOnly;
    HANDLE mappingHandle;
    HANDLE fileHandle;
    LONG stage;

private:
    // Releases what the stage holds; false for a stage outside MapStage.
    bool Release();
    // The part of length that fits between the cursor and the end of the view;
    // 0 while no view is mapped.
    DWORD Room(DWORD length) const;
};
