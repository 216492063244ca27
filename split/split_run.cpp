#include "split/split_run.h"

#include <shlwapi.h>

#include <csetjmp>
#include <initializer_list>
#include <new>

#include "core/app_state.h"
#include "split/free_space.h"
#include "split/mapped_file.h"
#include "split/part_digests.h"

MappedFile* sourceReader = nullptr;
MappedFile* partWriter = nullptr;
SplitProgressHook splitProgressHook = nullptr;
DWORD splitSliceSize = kSliceSize;
bool splitHashParts = true;

void ComputePartCount() {
    DWORD fileSize = appState.fileSize;
    DWORD splitSize = appState.splitSize;
    if (splitSize != 0 && fileSize > splitSize) {
        appState.partCount = fileSize / splitSize;
        if (fileSize - appState.partCount * splitSize != 0) ++appState.partCount;
    } else {
        appState.partCount = 1;
    }
}

namespace {
SplitProgress progress;

// Set when the session ends during the run: nothing more is written.
bool sessionEnded = false;

bool Report() {
    return !sessionEnded && (splitProgressHook == nullptr || splitProgressHook(progress));
}

// A source whose medium fails while it is read (a removed disk, a lost network
// share, a file cut short by another program) has pages in its view that cannot
// be read: touching one raises an exception that would end the process, leaving a
// part of full length with bytes never copied. MinGW has no __try, so the copy is
// guarded by a vectored handler that jumps back out of it. The handler's entry
// points are looked up: Windows before XP lacks them and copies unguarded.
using AddHandlerCall = PVOID(WINAPI*)(ULONG, PVECTORED_EXCEPTION_HANDLER);
using RemoveHandlerCall = ULONG(WINAPI*)(PVOID);

std::jmp_buf copyFailed;
// The thread whose copy is guarded; 0 when none is. Only the handler reads it, so
// without volatile the compiler could drop the stores around the copy.
volatile DWORD guardedThread = 0;
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
    const EXCEPTION_RECORD* record = pointers->ExceptionRecord;
    // Only a fault on the bytes of the two views: any other is a fault of the
    // program's own and goes on to end it.
    bool unreadable = (record->ExceptionCode == EXCEPTION_IN_PAGE_ERROR ||
                       record->ExceptionCode == EXCEPTION_ACCESS_VIOLATION) &&
                      record->NumberParameters >= 2 &&
                      (InView(sourceReader, record->ExceptionInformation[1]) ||
                       InView(partWriter, record->ExceptionInformation[1]));
    if (!unreadable) return EXCEPTION_CONTINUE_SEARCH;
    guardedThread = 0;
    std::longjmp(copyFailed, 1);
}

void GuardCopies(bool on) {
    static const HMODULE kernel = GetModuleHandleA("kernel32.dll");
    static const auto addHandler = reinterpret_cast<AddHandlerCall>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "AddVectoredExceptionHandler")));
    static const auto removeHandler = reinterpret_cast<RemoveHandlerCall>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "RemoveVectoredExceptionHandler")));
    if (addHandler == nullptr || removeHandler == nullptr) return;
    if (on && copyGuard == nullptr) copyGuard = addHandler(1, OnCopyFault);
    if (!on && copyGuard != nullptr) {
        removeHandler(copyGuard);
        copyGuard = nullptr;
    }
}

// Bytes are taken a page of the source at most at a time, each piece counted by
// the writer only once copied whole: when a page cannot be read, the part holds
// every byte before it and nothing else.
constexpr DWORD kSourcePage = 4096;

bool CopyPages(DWORD length) {
    DWORD copied = 0;
    while (copied < length) {
        DWORD available = sourceReader->Available();
        if (available == 0) return false;
        DWORD piece = kSourcePage - sourceReader->offset % kSourcePage;
        if (piece > available) piece = available;
        if (piece > length - copied) piece = length - copied;
        if (partWriter->Write(sourceReader->cursor, piece) != 1) return false;
        AddToPartDigest(sourceReader->cursor, piece);
        sourceReader->Skip(piece);
        copied += piece;
    }
    return true;
}

// One slice from the reader's cursor into the writer; false when the source's
// bytes could not be had.
bool CopySlice(DWORD length) {
    volatile bool copied = false;
    if (setjmp(copyFailed) == 0) {
        guardedThread = copyGuard != nullptr ? GetCurrentThreadId() : 0;
        copied = CopyPages(length);
    }
    guardedThread = 0;
    return copied;
}

// Writes part number index of the given length from the reader's cursor. False
// when the part cannot be created or the run is cancelled: the part then holds
// only the bytes really written (a writer is cut back on closing).
bool WritePart(const char* name, DWORD index, DWORD length) {
    partWriter = new (std::nothrow) MappedFile;
    if (partWriter == nullptr) return false;
    bool written = false;
    // The run reported this part before it was created (ReadyForPart).
    // A path longer than Windows takes names no file that could be created.
    if (FormatText(scratchText, sizeof scratchText, "%s%s.%03lu", appState.destDir, name,
                   static_cast<unsigned long>(index)) &&
        FitsPath(scratchText) && partWriter->OpenForWrite(scratchText, length)) {
        StartPartDigest(index);
        written = true;
        while (written && progress.partDone < length) {
            DWORD slice = length - progress.partDone < splitSliceSize ? length - progress.partDone
                                                                      : splitSliceSize;
            written = CopySlice(slice);
            if (written) {
                progress.partDone += slice;
                progress.bytesDone += slice;
                written = Report();
            }
        }
        if (written) FinishPartDigest(index);
        partWriter->Close();
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

// A script or checksum list of an earlier run for this name would join the new
// parts with old ones: it goes before the first part is written. False when one
// stays (read-only, say), and the run writes nothing.
bool RemoveEarlierJoin(const char* name) {
    for (const char* ending : {".bat", ".sha256"}) {
        char path[kPathSize];
        // A path longer than Windows takes names no file that could be there.
        if (!FormatText(path, sizeof path, "%s%s%s", appState.destDir, name, ending) || !FitsPath(path)) continue;
        if (DeleteFileA(path)) continue;
        DWORD attributes = GetFileAttributesA(path);
        if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            return false;
        }
    }
    return true;
}

// Before a part is created: room for it, and the run still wanted, for Cancel may
// have been pressed while the insert-disk prompt was up; creating the part would
// wipe a file of its name on the new disk.
bool ReadyForPart(const char* name, DWORD index, DWORD length) {
    if (CheckFreeSpace(length) != kEngineOk) return false;
    progress.part = index;
    progress.partDone = 0;
    progress.partLength = length;
    if (!Report()) return false;
    return progress.bytesDone != 0 || RemoveEarlierJoin(name);
}

bool RunParts(const char* name) {
    sourceReader = new (std::nothrow) MappedFile;
    if (sourceReader == nullptr) return false;
    bool ok = sourceReader->OpenForRead(appState.sourcePath) == 1 && appState.splitSize != 0;
    if (ok) {
        TakeMeasuredSize();
        progress = SplitProgress{0, appState.partCount, 0, 0, 0, appState.fileSize};
        BeginPartDigests(appState.partCount, splitHashParts);
        DWORD lastLength =
            appState.fileSize - (appState.partCount - 1) * appState.splitSize;
        for (DWORD index = 1; ok && index <= appState.partCount; ++index) {
            DWORD length = index < appState.partCount ? appState.splitSize : lastLength;
            if (length == 0) continue;
            ok = ReadyForPart(name, index, length) && WritePart(name, index, length);
        }
    }
    sourceReader->Close();
    delete sourceReader;
    sourceReader = nullptr;
    return ok;
}
}  // namespace

bool SplitFile() {
    const char* name = PathFindFileNameA(appState.sourcePath);
    AddBackslash(appState.destDir);
    sessionEnded = false;
    GuardCopies(true);
    bool ok = RunParts(name);
    GuardCopies(false);
    if (ok) return true;
    MessageBoxA(nullptr, "Cancelling File Split", kWindowTitle, MB_OK | MB_ICONWARNING);
    return false;
}

void EndRunAsSessionEnds() {
    sessionEnded = true;
    // The process may be ended as soon as the caller returns: the part under way
    // keeps only its bytes written, no zeros after them that would pass for a whole part.
    if (partWriter != nullptr) partWriter->Close();
}
