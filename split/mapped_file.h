#pragma once
#include <windows.h>

// How far opening a MappedFile got; it alone decides what Close releases.
enum MapStage : LONG { Closed = 0, FileOpen = 1, MappingCreated = 3, ViewMapped = 4 };

// Largest view of a file mapped at once. The file is seen through a window that
// moves forward with the cursor, so a 32-bit process reads a source of any size
// and writes parts up to 4 GiB - 1 whatever its free address space. A multiple of
// the allocation granularity (64 KiB); tests make it small to cross its edges often.
extern DWORD mappedWindowSize;
constexpr DWORD kDefaultMappedWindow = 64u << 20;

// One file seen as memory with a forward-only cursor: a reader over an existing
// file of any size, or a writer created at a fixed size (at most 4 GiB - 1) and
// cut back on closing. The cursor points into the current view; a reader takes up
// to Available() bytes there.
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
    // Bytes readable at the cursor in the current view; 0 at the end of the file
    // or when the next window cannot be mapped.
    DWORD Available();
    // True when the cursor has passed the current view: the next Available() maps
    // the next window in its place, and pointers into this view go stale.
    bool AtViewEnd() const;

    BYTE* cursor;
    ULONGLONG size;
    DWORD existed;
    BYTE* viewBase;
    ULONGLONG offset;
    bool readOnly;
    HANDLE mappingHandle;
    HANDLE fileHandle;
    LONG stage;
    ULONGLONG viewOffset;  // file offset of viewBase
    DWORD viewLength;  // bytes in the current view

private:
    // Maps the window that holds offset in place of the current view.
    bool MoveWindow();
    // Releases what the stage holds; false for a stage outside MapStage.
    bool Release();
    // The part of length that fits between the cursor and the end of the view;
    // 0 while no view is mapped.
    DWORD Room(DWORD length) const;
};
