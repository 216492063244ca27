#pragma once
#include <windows.h>

class MappedFile;

// The reader of the source during a run, and the writer of the part (or of the
// merge script) being written.
extern MappedFile* sourceReader;
extern MappedFile* partWriter;

// A part is copied in slices of at most this many bytes; between slices the run
// reports its progress, so the caller can keep its window answering.
constexpr DWORD kSliceSize = 4u << 20;
extern DWORD splitSliceSize;  // kSliceSize; the benchmark compares a run in whole parts

// Whether the run takes each part's SHA-256 as it copies (for the merge script's
// checks and the checksum list); on, the benchmark compares a run without.
extern bool splitHashParts;

// How far a run is: part `part` of `partCount`, `partDone` of its `partLength`
// bytes written, and `bytesDone` of the source's `fileSize` bytes in all.
struct SplitProgress {
    ULONGLONG part;
    ULONGLONG partCount;
    DWORD partDone;
    DWORD partLength;
    ULONGLONG bytesDone;
    ULONGLONG fileSize;
};

// Called before each part is created, before its first slice and after every
// slice; returning false cancels the run there (a part under way is cut back to
// the bytes written; no further part is created).
// Null: the run reports nothing.
using SplitProgressHook = bool (*)(const SplitProgress& progress);
extern SplitProgressHook splitProgressHook;

// The largest part: a split size is 32-bit, and FAT32 holds no larger file.
constexpr DWORD kLargestSplitSize = 0xFFFFFFFF;

// partCount from fileSize and splitSize.
void ComputePartCount();

// The size of each of `parts` equal parts of fileSize bytes, rounded up so that
// the last part is the shortest; at least 1 byte. Above kLargestSplitSize when
// that many parts cannot hold the file; 0 for no parts.
ULONGLONG EqualPartSize(ULONGLONG fileSize, ULONGLONG parts);

// Cuts appState.sourcePath into numbered parts in appState.destDir. False after a
// box said why: "Cancelling File Split" when the user cancelled, what failed
// otherwise (none when a box of the free-space check said it, or the session ends).
bool SplitFile();

// The session ends (log-off, shutdown) during a run: the part under way is cut back
// to the bytes written at once, and the run writes nothing more.
void EndRunAsSessionEnds();
