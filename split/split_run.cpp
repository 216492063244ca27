#include "split/split_run.h"

#include <shlwapi.h>

#include <csetjmp>
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

bool Report() { return splitProgressHook == nullptr || splitProgressHook(progress); }

// A source whose medium fails while it is read (a removed disk, a lost network
// share, a file cut short by another program) has pages in its view that cannot
// be read: touching one raises an exception that would end the process, leaving a
// part of full length with bytes never copied. MinGW has no __try, so the copy is
// guarded by a vectored handler that jumps back out of it. The handler's entry
// points are looked up: Windows before XP lacks them and copies unguarded.
using AddHandlerCall = PVOID(WINAPI*)(ULONG, PVECTORED_EXCEPTION_HANDLER);
using RemoveHandlerCall = ULONG(WINAPI*)(PVOID);

std::jmp_buf copyFailed;
DWORD guardedThread = 0;  // the thread whose copy is guarded; 0 when none is

bool InView(const MappedFile* file, ULONG_PTR address) {
    return file != nullptr && file->viewBase != nullptr &&
           address - reinterpret_cast<ULONG_PTR>(file->viewBase) < file->viewLength;
}

LONG CALLBACK OnCopyFault(EXCEPTION_POINTERS* pointers) {
    if (guardedThread == 0 || guardedThread != GetCurrentThreadId()) {
        return EXCEPTION_CONTINUE_SEARCH;
    }
    const EXCEPTION_RECORD* record = pointers->ExceptionRecord;
    bool unreadable = false;
    switch (record->ExceptionCode) {
    case EXCEPTION_IN_PAGE_ERROR:
    case EXCEPTION_ACCESS_VIOLATION:
        // Only a fault on the bytes of the two views: any other is a fault of the
        // program's own and goes on to end it.
        unreadable = record->NumberParameters >= 2 &&
                     (InView(sourceReader, record->ExceptionInformation[1]) ||
                      InView(partWriter, record->ExceptionInformation[1]));
        break;
    case EXCEPTION_ILLEGAL_INSTRUCTION:
        // 32-bit Wine run through qemu-i386 reports the bus error of a page past
        // the file's end so, without an address; a memory copy has no instruction
        // that could really be illegal.
        unreadable = record->NumberParameters == 0;
        break;
    default:
        break;
    }
    if (!unreadable) return EXCEPTION_CONTINUE_SEARCH;
    guardedThread = 0;
    std::longjmp(copyFailed, 1);
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
    static const HMODULE kernel = GetModuleHandleA("kernel32.dll");
    static const auto addHandler = reinterpret_cast<AddHandlerCall>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "AddVectoredExceptionHandler")));
    static const auto removeHandler = reinterpret_cast<RemoveHandlerCall>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "RemoveVectoredExceptionHandler")));
    PVOID handler = addHandler != nullptr && removeHandler != nullptr
                        ? addHandler(1, OnCopyFault)
                        : nullptr;
    volatile bool copied = false;
    if (setjmp(copyFailed) == 0) {
        guardedThread = handler != nullptr ? GetCurrentThreadId() : 0;
        copied = CopyPages(length);
    }
    guardedThread = 0;
    if (handler != nullptr) removeHandler(handler);
    return copied;
}

// Writes part number index of the given length from the reader's cursor. False
// when the part cannot be created or the run is cancelled: the part then holds
// only the bytes really written (a writer is cut back on closing).
bool WritePart(const char* name, DWORD index, DWORD length) {
    partWriter = new (std::nothrow) MappedFile;
    if (partWriter == nullptr) return false;
    bool written = false;
    progress.part = index;
    progress.partDone = 0;
    progress.partLength = length;
    // A path that does not fit the buffer names no file that could be created.
    if (FormatText(scratchText, sizeof scratchText, "%s%s.%03lu", appState.destDir, name,
                   static_cast<unsigned long>(index)) &&
        partWriter->OpenForWrite(scratchText, length)) {
        StartPartDigest(index);
        written = Report();
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
            ok = CheckFreeSpace(length) == kEngineOk && WritePart(name, index, length);
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
    if (RunParts(name)) return true;
    MessageBoxA(nullptr, "Cancelling File Split", kWindowTitle, MB_OK | MB_ICONWARNING);
    return false;
}
