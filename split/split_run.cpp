#include "split/split_run.h"

#include <shlwapi.h>

#include <csetjmp>
#include <initializer_list>
#include <new>

#include "core/app_state.h"
#include "split/fault_guard.h"
#include "split/mapped_file.h"
#include "split/part_digests.h"
#include "split/run_end.h"
#include "split/recovery_names.h"

MappedFile* sourceReader = nullptr;
MappedFile* partWriter = nullptr;
SplitProgressHook splitProgressHook = nullptr;
DWORD splitSliceSize = kSliceSize;
bool splitHashParts = true;

void ComputePartCount() {
    ULONGLONG fileSize = appState.fileSize;
    DWORD splitSize = appState.splitSize;
    if (splitSize != 0 && fileSize > splitSize) {
        appState.partCount = fileSize / splitSize;
        if (fileSize - appState.partCount * splitSize != 0) ++appState.partCount;
    } else {
        appState.partCount = 1;
    }
}

ULONGLONG EqualPartSize(ULONGLONG fileSize, ULONGLONG parts) {
    if (parts == 0) return 0;
    // Rounded up without fileSize + parts - 1, which could wrap.
    ULONGLONG size = fileSize / parts + (fileSize % parts != 0 ? 1 : 0);
    return size != 0 ? size : 1;
}

namespace {
SplitProgress progress;

// Set when the session ends during the run: nothing more is written.
bool sessionEnded = false;

constexpr char kNoMemory[] = "Not enough Memory to Split the File";

bool Report() {
    if (sessionEnded) return StopAsSessionEnds();
    bool goOn = splitProgressHook == nullptr || splitProgressHook(progress);
    // The hook handles the window's messages: the session may have ended inside it,
    // and then not a byte more is written, not even the part it was asked about.
    if (sessionEnded) return StopAsSessionEnds();
    return goOn || StopAsCancelled();
}

// A source whose medium fails while it is read has pages in its view that cannot
// be read: unguarded, the process would end, leaving a part of full length with
// bytes never copied. The copy jumps back out of the fault instead.
std::jmp_buf copyFailed;
// The thread whose copy is guarded; 0 when none is. Only the handler reads it, so
// without volatile the compiler could drop the stores around the copy.
volatile DWORD guardedThread = 0;
// Whether the bytes that failed were the part's (its disk) rather than the source's.
volatile bool partFailed = false;
// The handler's entry, registered for a whole run: on Vista and later an entry that
// a jump out of the handler has passed through is never freed, so once per run.
PVOID copyGuard = nullptr;

bool InView(const MappedFile* file, ULONG_PTR address) {
    return file != nullptr && file->viewBase != nullptr &&
           address - reinterpret_cast<ULONG_PTR>(file->viewBase) < file->viewLength;
}

LONG CALLBACK OnCopyFault(EXCEPTION_POINTERS* pointers) {
    if (guardedThread == 0 || guardedThread != GetCurrentThreadId()) {
        return EXCEPTION_CONTINUE_SEARCH;
    }
    // Only a fault on the bytes of the two views: any other is a fault of the
    // program's own and goes on to end it.
    const ULONG_PTR address = FaultAddress(pointers);
    if (address == 0 || !(InView(sourceReader, address) || InView(partWriter, address))) {
        return EXCEPTION_CONTINUE_SEARCH;
    }
    partFailed = InView(partWriter, address);
    guardedThread = 0;
    std::longjmp(copyFailed, 1);
}

void GuardCopies(bool on) { GuardFaults(copyGuard, OnCopyFault, on); }

// Bytes are taken a page of the source at most at a time, each piece counted by
// the writer only once copied whole: when a page cannot be read, the part holds
// every byte before it and nothing else.
constexpr DWORD kSourcePage = 4096;

// The bytes copied are hashed on a second thread while the next slice is copied:
// handed over at the slice's end, or where the reader's view moves on, which waits
// for them first, as they are read from that view.
bool CopyPages(DWORD length) {
    DWORD copied = 0;
    const BYTE* unhashed = nullptr;
    DWORD unhashedLength = 0;
    while (copied < length) {
        // Bytes of an earlier slice or part may still be hashed from this view too.
        if (sourceReader->AtViewEnd()) {
            if (unhashedLength != 0) AddToPartDigest(unhashed, unhashedLength);
            WaitForPartDigest();
            unhashedLength = 0;
        }
        DWORD available = sourceReader->Available();
        if (available == 0) return false;
        DWORD piece = kSourcePage - static_cast<DWORD>(sourceReader->offset % kSourcePage);
        if (piece > available) piece = available;
        if (piece > length - copied) piece = length - copied;
        if (partWriter->Write(sourceReader->cursor, piece) != 1) {
            partFailed = true;
            return false;
        }
        if (unhashedLength == 0) unhashed = sourceReader->cursor;
        unhashedLength += piece;
        sourceReader->Skip(piece);
        copied += piece;
    }
    if (unhashedLength != 0) AddToPartDigest(unhashed, unhashedLength);
    return true;
}

// One slice from the reader's cursor into the writer; false when the source's
// bytes could not be had.
bool CopySlice(DWORD length) {
    volatile bool copied = false;
    partFailed = false;
    if (setjmp(copyFailed) == 0) {
        guardedThread = copyGuard != nullptr ? GetCurrentThreadId() : 0;
        copied = CopyPages(length);
    }
    guardedThread = 0;
    return copied;
}

// The part's file name: the source's name and the number, at least three digits.
void FormPartName(char (&partName)[kPathSize + 16], const char* name, ULONGLONG index) {
    FormatText(partName, sizeof partName, "%s.%03llu", name, index);
}

// Writes part number index of the given length from the reader's cursor. False
// when the part cannot be created or the run is cancelled: the part then holds
// only the bytes really written (a writer is cut back on closing).
bool WritePart(const char* name, ULONGLONG index, DWORD length) {
    char partName[kPathSize + 16];
    FormPartName(partName, name, index);
    // The run reported this part before it was created (ReadyForPart).
    // A path longer than Windows takes names no file that could be created.
    if (!FormatText(scratchText, sizeof scratchText, "%s%s", appState.destDir, partName) ||
        !FitsPath(scratchText)) {
        return StopAsFailed("Cannot create the File: its path is too long", appState.destDir,
                            partName);
    }
    partWriter = new (std::nothrow) MappedFile;
    if (partWriter == nullptr) return StopAsFailed(kNoMemory, appState.sourcePath);
    bool written = false;
    if (partWriter->OpenForWrite(scratchText, length)) {
        StartPartDigest(static_cast<DWORD>(index));
        written = true;
        while (written && progress.partDone < length) {
            DWORD slice = length - progress.partDone < splitSliceSize ? length - progress.partDone
                                                                      : splitSliceSize;
            written = CopySlice(slice);
            if (!written && partFailed) {
                StopAsFailed("Error Writing File", appState.destDir, partName);
            } else if (!written) {
                StopAsFailed("Error Reading File", appState.sourcePath);
            } else {
                progress.partDone += slice;
                progress.bytesDone += slice;
                written = Report();
            }
        }
        if (written) FinishPartDigest(static_cast<DWORD>(index));
        partWriter->Close();
    } else {
        StopAsFailed("Error Creating File", appState.destDir, partName);
    }
    delete partWriter;
    partWriter = nullptr;
    return written;
}

// The parts must add up to the source as it is when cut. When the file changed
// size since it was chosen, the run cuts what the view holds now and keeps
// fileSize and partCount in step, so the merge script and the summary agree.
void TakeMeasuredSize() {
    if (sourceReader->size == appState.fileSize) return;
    appState.fileSize = sourceReader->size;
    ComputePartCount();
}

// A script, checksum list or recovery set of an earlier run for this name would
// join or rebuild the new parts with old ones: they go before the first part is
// written. False when one stays (read-only, say), and the run writes nothing.
bool RemoveEarlierJoin(const char* name) {
    if (!RemoveRecoveryFiles(appState.destDir, name)) return false;
    for (const char* ending : {".bat", ".sha256"}) {
        char path[kPathSize];
        // A path longer than Windows takes names no file that could be there.
        if (!FormatText(path, sizeof path, "%s%s%s", appState.destDir, name, ending) || !FitsPath(path)) continue;
        if (DeleteFileA(path)) continue;
        DWORD attributes = GetFileAttributesA(path);
        if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            return StopAsFailed("The File of an earlier Split cannot be replaced", path);
        }
    }
    return true;
}

// Before a part is created: room for it, and the run still wanted, for Cancel may
// have been pressed while the insert-disk prompt was up; creating the part would
// wipe a file of its name on the new disk.
bool ReadyForPart(const char* name, ULONGLONG index, DWORD length) {
    if (!RoomAtDestination(length)) return false;
    progress.part = index;
    progress.partDone = 0;
    progress.partLength = length;
    if (!Report()) return false;
    return progress.bytesDone != 0 || RemoveEarlierJoin(name);
}

// Why the source could not be opened and mapped, as far as the reader got.
bool SourceNotOpened() {
    const char* source = appState.sourcePath;
    if (sourceReader->stage == Closed) return StopAsFailed("Error Opening File", source);
    DWORD high = 0;
    DWORD low = GetFileSize(sourceReader->fileHandle, &high);
    if (low == 0 && high == 0) return StopAsFailed("The File is empty: there is nothing to Split", source);
    return StopAsFailed("Error Reading File", source);
}

bool RunParts(const char* name) {
    sourceReader = new (std::nothrow) MappedFile;
    if (sourceReader == nullptr) return StopAsFailed(kNoMemory, appState.sourcePath);
    bool ok = sourceReader->OpenForRead(appState.sourcePath) == 1 || SourceNotOpened();
    if (ok && appState.splitSize == 0) ok = StopAsFailed("The Split Size is not Valid", "");
    if (ok) {
        TakeMeasuredSize();
        progress = SplitProgress{0, appState.partCount, 0, 0, 0, appState.fileSize};
        // Digests are kept for at most 0xFFFFFFFF parts (far more than memory holds).
        const bool countable = appState.partCount <= 0xFFFFFFFF;
        BeginPartDigests(countable ? static_cast<DWORD>(appState.partCount) : 0,
                         splitHashParts && countable);
        DWORD lastLength = static_cast<DWORD>(appState.fileSize -
                                              (appState.partCount - 1) * appState.splitSize);
        for (ULONGLONG index = 1; ok && index <= appState.partCount; ++index) {
            DWORD length = index < appState.partCount ? appState.splitSize : lastLength;
            if (length == 0) continue;
            ok = ReadyForPart(name, index, length) && WritePart(name, index, length);
        }
    }
    // The hashing thread reads the source's view: it ends before the view goes.
    EndPartHashing();
    sourceReader->Close();
    delete sourceReader;
    sourceReader = nullptr;
    return ok;
}

// Every file the run and its script will write is named before anything is read
// or written: a path too long for Windows is said now, not after the parts.
bool PathsFit(const char* name) {
    char lastPart[kPathSize + 16];
    FormPartName(lastPart, name, appState.partCount);
    const struct {
        const char* name;
        const char* ending;
    } files[] = {{lastPart, ""}, {name, ".bat"}, {name, ".sha256"}};
    for (const auto& file : files) {
        if (!FormatText(scratchText, sizeof scratchText, "%s%s%s", appState.destDir, file.name,
                        file.ending) ||
            !FitsPath(scratchText)) {
            return StopAsFailed("Cannot create the File: its path is too long", appState.destDir,
                                file.name, file.ending);
        }
    }
    return true;
}
}  // namespace

bool SplitFile() {
    const char* name = PathFindFileNameA(appState.sourcePath);
    BeginRunEnd();
    sessionEnded = false;
    bool ok;
    if (!AddBackslash(appState.destDir)) {
        char partName[kPathSize + 16];
        FormPartName(partName, name, 1);
        ok = StopAsFailed("Cannot create the File: its path is too long", appState.destDir, "\\",
                          partName);
    } else if (PathsFit(name)) {
        GuardCopies(true);
        ok = RunParts(name);
        GuardCopies(false);
    } else {
        ok = false;
    }
    if (ok) return true;
    ShowRunEnd();
    return false;
}

void EndRunAsSessionEnds() {
    sessionEnded = true;
    // The process may be ended as soon as the caller returns: the part under way
    // keeps only its bytes written, no zeros after them that would pass for a whole part.
    if (partWriter != nullptr) partWriter->Close();
}
