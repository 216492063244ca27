#include "split/split_run.h"

#include <shlwapi.h>

#include <new>

#include "core/app_state.h"
#include "split/free_space.h"
#include "split/mapped_file.h"

MappedFile* sourceReader = nullptr;
MappedFile* partWriter = nullptr;
SplitProgressHook splitProgressHook = nullptr;
DWORD splitSliceSize = kSliceSize;

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

// One slice from the reader's cursor into the writer; false when the source's
// bytes could not be had.
bool CopySlice(DWORD length) {
    DWORD copied = 0;
    while (copied < length) {
        DWORD available = sourceReader->Available();
        if (available == 0) return false;
        DWORD piece = length - copied < available ? length - copied : available;
        if (partWriter->Write(sourceReader->cursor, piece) != 1) return false;
        sourceReader->Skip(piece);
        copied += piece;
    }
    return true;
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
