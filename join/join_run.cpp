#include "join/join_run.h"

#include <shlwapi.h>

#include <cstring>
#include <new>

#include "core/app_state.h"
#include "split/free_space.h"
#include "split/mapped_file.h"
#include "split/part_hasher.h"
#include "split/split_run.h"

bool joinCheckParts = true;
JoinSetHook joinBeforeCopyHook = nullptr;
JoinBadPartHook joinBadPartHook = nullptr;
JoinLeftOutHook joinLeftOutHook = nullptr;

namespace {
constexpr char kCancelling[] = "Cancelling File Join";

// What became of one part.
enum class Verdict { Good, Missing, WrongLength, Empty, Damaged, Unreadable, Stopped, LeftOut };

// What the user chose for a part that is not (yet) good.
enum class Answer { Retry, LeaveOut, Stop };

struct PartRecord {
    BYTE digest[kDigestSize];
    unsigned long long length;
    bool copied;  // in the joined file
    bool hashed;  // digest holds its SHA-256
    bool damaged; // found so when the list came: to be asked for again
    bool mended;  // put right once by joinBadPartHook
    bool leftOut; // to be rebuilt by joinLeftOutHook after the others
};

JoinSet set;
HANDLE output = INVALID_HANDLE_VALUE;
char joiningPath[kPathSize];
char joinedPath[kPathSize];
SplitProgress progress;
bool sessionEnded = false;
bool withoutList = false;
bool told = false;  // a box of the run's own said why it stopped

bool countKnown = false;
unsigned long long partCount = 0;     // the set's parts, once countKnown
unsigned long long firstLength = 0;   // every part but the last is this long
unsigned long long wrongLength = 0;   // the length a part had, for its box
PartRecord* records = nullptr;        // [0] is part 1
unsigned long long recordCapacity = 0;

bool Report() {
    return !sessionEnded && (splitProgressHook == nullptr || splitProgressHook(progress));
}

PartRecord* Record(unsigned long long index) {
    if (index > recordCapacity) {
        unsigned long long grown = recordCapacity < 1024 ? 1024 : recordCapacity * 2;
        if (grown < index) grown = index;
        if (grown > 0x7FFFFFFFull / sizeof(PartRecord)) return nullptr;
        SIZE_T bytes = static_cast<SIZE_T>(grown * sizeof(PartRecord));
        void* memory = records == nullptr
                           ? HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, bytes)
                           : HeapReAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, records, bytes);
        if (memory == nullptr) return nullptr;
        records = static_cast<PartRecord*>(memory);
        recordCapacity = grown;
    }
    return &records[index - 1];
}

void FreeRecords() {
    if (records != nullptr) HeapFree(GetProcessHeap(), 0, records);
    records = nullptr;
    recordCapacity = 0;
}

// The box of the run: no owner, as the split's prompts.
int Ask(const char* text, UINT style) { return MessageBoxA(nullptr, text, kWindowTitle, style); }

// A failure said as what failed, on the first line, and where, on the second; the
// run then stops without "Cancelling File Join", which only a Cancel earns. After
// the session's end the joined file's handle is gone: what fails then is no news.
bool Fail(const char* what, const char* path) {
    char text[3 * kPathSize + 128];
    FormatText(text, sizeof text, "%s\n%s", what, path);
    if (!sessionEnded) Ask(text, MB_OK | MB_ICONERROR);
    told = true;
    return false;
}

// Windows before 2000 have no box with Try Again and Continue.
bool HasContinueButton() {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    DWORD version = GetVersion();
#pragma GCC diagnostic pop
    return LOBYTE(LOWORD(version)) >= 5;
}

// Retry or Cancel for part `index`; from disks, with the hook, Continue too (the
// first part gives the others their place, so it is never left out).
Answer AskAboutPart(const char* text, unsigned long long index, UINT icon) {
    if (!set.removable || joinLeftOutHook == nullptr || index < 2 || !HasContinueButton()) {
        return Ask(text, MB_RETRYCANCEL | icon) == IDRETRY ? Answer::Retry : Answer::Stop;
    }
    char longer[3 * kPathSize];
    FormatText(longer, sizeof longer,
               "%s\n\nContinue: go on without it, and rebuild it from the recovery volumes "
               "after the last part.",
               text);
    switch (Ask(longer, MB_CANCELTRYCONTINUE | icon)) {
    case IDTRYAGAIN:
        return Answer::Retry;
    case IDCONTINUE:
        return Answer::LeaveOut;
    default:
        return Answer::Stop;
    }
}

// Names the bad part as the merge script does and offers Retry and Cancel; a part
// mended in place first is tried again without asking.
Answer RetryBadPart(unsigned long long index, Verdict verdict) {
    PartRecord& record = records[index - 1];
    if (joinBadPartHook != nullptr && !record.mended) {
        record.mended = true;
        if (joinBadPartHook(set, index)) return Answer::Retry;
    }
    char what[96];
    switch (verdict) {
    case Verdict::Missing:
        CopyText(what, "is missing");
        break;
    case Verdict::WrongLength:
        FormatText(what, sizeof what, "has the wrong length: %llu bytes, not %llu", wrongLength,
                   firstLength);
        break;
    case Verdict::Empty:
        CopyText(what, "is empty");
        break;
    case Verdict::Damaged:
        CopyText(what, "is damaged: its contents differ from the part that was split");
        break;
    default:
        CopyText(what, "cannot be read");
        break;
    }
    char text[2 * kPathSize];
    FormatText(text, sizeof text, "Part %llu (%s.%03llu) %s.", index, set.name, index, what);
    return AskAboutPart(text, index, MB_ICONERROR);
}

void RefuseList() {
    char text[2 * kPathSize];
    FormatText(text, sizeof text,
               "The list %s.sha256 beside the parts is not the list of this set's parts.\n"
               "Nothing was joined.",
               set.name);
    Ask(text, MB_OK | MB_ICONERROR);
}

bool SameDigest(unsigned long long index) {
    return std::memcmp(records[index - 1].digest, set.digests + (index - 1) * kDigestSize,
                       kDigestSize) == 0;
}

// The list has come (on the last disk): its number of parts holds from now on,
// and the parts copied before it are checked against it. One found damaged is to
// be copied again, once the parts of the disk in the drive are in.
void TakeList(unsigned long long copiedUpTo) {
    countKnown = true;
    partCount = set.partCount;
    withoutList = !joinCheckParts;
    for (unsigned long long index = 1; index <= copiedUpTo && index <= partCount; ++index) {
        PartRecord& record = records[index - 1];
        if (!record.copied) continue;
        if (!record.hashed) {
            withoutList = true;
        } else if (joinCheckParts && !SameDigest(index)) {
            record.copied = false;
            record.damaged = true;
        }
    }
}

bool MoveOutput(unsigned long long offset) {
    LONG high = static_cast<LONG>(offset >> 32);
    DWORD low = SetFilePointer(output, static_cast<LONG>(offset & 0xFFFFFFFFu), &high, FILE_BEGIN);
    return !(low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR);
}

// After a write failed: whether the part itself reads there. A part on a bad sector
// fails the write through its mapping; a full or lost destination reads well.
bool PartReadsAt(const char* path, DWORD offset, DWORD length) {
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    static char probe[64u << 10];
    // With its high part given, an offset past 2 GiB is no move backwards.
    LONG high = 0;
    bool reads = SetFilePointer(file, static_cast<LONG>(offset), &high, FILE_BEGIN) == offset;
    while (reads && length != 0) {
        DWORD read = 0;
        DWORD piece = length < sizeof probe ? length : sizeof probe;
        reads = ReadFile(file, probe, piece, &read, nullptr) && read == piece;
        length -= piece;
    }
    CloseHandle(file);
    return reads;
}

// Copies the reader's bytes into the joined file at `offset`, handing each piece
// to the hashing thread once written (it reads the view while the next is written).
Verdict CopyBytes(MappedFile& reader, const char* path, unsigned long long offset, bool hashing) {
    if (!MoveOutput(offset)) {
        Fail("Error Writing File", joiningPath);
        return Verdict::Stopped;
    }
    while (reader.offset < reader.size) {
        // The view moves on at its end: the hashing thread must be done with it.
        if (hashing && reader.offset - reader.viewOffset >= reader.viewLength) WaitForHash();
        DWORD available = reader.Available();
        if (available == 0) return Verdict::Unreadable;
        DWORD piece = available < splitSliceSize ? available : splitSliceSize;
        DWORD written = 0;
        if (!WriteFile(output, reader.cursor, piece, &written, nullptr) || written != piece) {
            if (!PartReadsAt(path, reader.offset, piece)) return Verdict::Unreadable;
            Fail("Error Writing File", joiningPath);
            return Verdict::Stopped;
        }
        if (hashing) AddToHash(reader.cursor, piece);
        reader.Skip(piece);
        progress.partDone += piece;
        progress.bytesDone += piece;
        if (!Report()) return Verdict::Stopped;
    }
    return Verdict::Good;
}

// Whether part `index` of `length` bytes may have that length. The first part sets
// the length of all but the last; the last may be shorter, never empty.
Verdict CheckLength(unsigned long long index, unsigned long long length) {
    wrongLength = length;
    if (length == 0) return Verdict::Empty;
    if (index == 1 && (firstLength == 0 || (countKnown && partCount == 1))) return Verdict::Good;
    // From disks before the list came, a shorter part is the last unless the next
    // one lies beside it.
    unsigned long long next = 0;
    bool last = countKnown ? index == partCount
                           : length < firstLength && !PartLength(set, index + 1, next);
    if (last ? length > firstLength : length != firstLength) return Verdict::WrongLength;
    return Verdict::Good;
}

// Copies part `index` into its place in the joined file, checking it as it goes.
Verdict JoinPart(unsigned long long index) {
    char path[kPathSize];
    unsigned long long length = 0;
    if (!PartPath(set, index, path) || !PartLength(set, index, length)) return Verdict::Missing;
    Verdict verdict = CheckLength(index, length);
    if (verdict != Verdict::Good) return verdict;
    if (length > 0xFFFFFFFFull) return Verdict::Unreadable;  // no part of the split is so long
    PartRecord* record = Record(index);
    if (record == nullptr) {
        Fail("Not enough Memory to Join the File", joinedPath);
        return Verdict::Stopped;
    }
    // A full fixed disk has said so in a box of its own; a disk prompt cancelled is a Cancel.
    const int room = CheckFreeSpace(length);
    if (room == kDiskFullTold) told = true;
    if (room == kFreeSpaceUnknown) Fail("Cannot find the Free Space of the Destination Folder", appState.destDir);
    if (room != kEngineOk) return Verdict::Stopped;
    // The hook's counts may be narrower than the join's: what they show, nothing more.
    progress.part = index;
    // From disks the number grows as the parts come, until the list or the last part.
    progress.partCount = countKnown || partCount > index ? partCount : index;
    progress.partDone = 0;
    progress.partLength = length;
    unsigned long long base = index == 1 ? 0 : (index - 1) * firstLength;
    progress.bytesDone = base;
    if (!Report()) return Verdict::Stopped;

    MappedFile* reader = new (std::nothrow) MappedFile;
    if (reader == nullptr) {
        Fail("Not enough Memory to Join the File", joinedPath);
        return Verdict::Stopped;
    }
    if (reader->OpenForRead(path) != 1 || reader->size != length) {
        delete reader;
        return Verdict::Unreadable;
    }
    bool hashing = joinCheckParts && BeginHash();
    verdict = CopyBytes(*reader, path, base, hashing);
    record->hashed = hashing && FinishHash(record->digest);
    reader->Close();
    delete reader;
    if (verdict != Verdict::Good) return verdict;

    if (index == 1) firstLength = length;
    if (set.listed && joinCheckParts) {
        if (!record->hashed) withoutList = true;
        else if (!SameDigest(index)) return Verdict::Damaged;
    }
    record->copied = true;
    record->length = length;
    return Verdict::Good;
}

bool FileIsThere(const char* folder, const char* ending) {
    char path[kPathSize];
    return FormatText(path, sizeof path, "%s%s%s", folder, set.name, ending) &&
           PathFileExistsA(path);
}

// Finds part `index`, asking for its disk on a removable drive. Returns Good when
// it is there, Missing (nothing more to ask), Stopped on Cancel; `ended` when the
// disk in the drive says the set ended before this part.
Verdict LocatePart(unsigned long long index, bool& ended) {
    ended = false;
    for (;;) {
        // The list and the script come on the last disk, with its parts.
        if (set.removable && !set.listed) {
            PartList list = ReadPartList(set);
            if (list == PartList::Refused) {
                RefuseList();
                return Verdict::Stopped;
            }
            if (list == PartList::Read) TakeList(index - 1);
        }
        if (countKnown && index > partCount) {
            ended = true;
            return Verdict::Good;
        }
        unsigned long long length = 0;
        if (PartLength(set, index, length)) return Verdict::Good;
        if (!set.removable) return Verdict::Missing;
        if (!set.listed && index > 1 && FileIsThere(set.folder, ".bat")) {
            ended = true;  // an earlier version's set, which has no list
            return Verdict::Good;
        }
        char text[2 * kPathSize];
        FormatText(text, sizeof text, "Insert the disk with part %llu (%s.%03llu) and retry", index,
                   set.name, index);
        Answer answer = AskAboutPart(text, index, MB_ICONERROR);
        if (answer == Answer::Stop || sessionEnded) return Verdict::Stopped;
        if (answer == Answer::LeaveOut) return Verdict::LeftOut;
        if (!Report()) return Verdict::Stopped;
    }
}

// The first part of a known set that is not in the joined file; 0 when all are.
unsigned long long FirstPartLeft() {
    for (unsigned long long index = 1; index <= partCount; ++index) {
        if (!records[index - 1].copied && !records[index - 1].leftOut) return index;
    }
    return 0;
}

// Every part in order into the joined file. False when the run stopped.
bool CopyParts() {
    unsigned long long index = 1;
    for (;;) {
        if (countKnown && index > partCount) {
            // Parts found damaged when the list came are asked for again now.
            if (Record(partCount) == nullptr) return false;
            index = FirstPartLeft();
            if (index == 0) return true;
            if (records[index - 1].damaged) {
                Answer answer = RetryBadPart(index, Verdict::Damaged);
                if (answer == Answer::Stop || sessionEnded) return false;
                records[index - 1].damaged = false;
                records[index - 1].leftOut = answer == Answer::LeaveOut;
                continue;
            }
        }
        PartRecord* record = Record(index);
        if (record == nullptr) return false;
        if (record->copied || record->leftOut) {  // taken before a damaged part was asked for again
            ++index;
            continue;
        }
        bool ended = false;
        Verdict verdict = LocatePart(index, ended);
        if (ended) {
            if (!countKnown) partCount = index - 1;
            countKnown = true;
            index = partCount + 1;
            continue;
        }
        if (verdict == Verdict::Good) verdict = JoinPart(index);
        if (verdict == Verdict::Stopped) return false;
        if (verdict != Verdict::Good && verdict != Verdict::LeftOut) {
            Answer answer = RetryBadPart(index, verdict);
            if (answer == Answer::Stop || sessionEnded) return false;
            if (answer == Answer::Retry) continue;
            verdict = Verdict::LeftOut;
        }
        if (verdict == Verdict::LeftOut) {
            records[index - 1].leftOut = true;
            ++index;
            continue;
        }
        // From disks without the list yet, the first part shorter than the first ends the set.
        if (!countKnown && index > 1 && records[index - 1].length < firstLength) {
            countKnown = true;
            partCount = index;
        }
        ++index;
    }
}

// The parts left out, rebuilt in the joined file by the hook. The list gives
// their number; the last one's length is what the hook wrote.
bool MendLeftOut() {
    bool any = false;
    for (unsigned long long index = 1; index <= partCount; ++index) {
        if (records[index - 1].leftOut) any = true;
    }
    if (!any) return true;
    if (!set.listed || firstLength == 0) return false;
    told = true;
    if (!joinLeftOutHook(set, output, firstLength)) return false;
    told = false;
    LARGE_INTEGER size;
    if (!GetFileSizeEx(output, &size)) return false;
    unsigned long long end = static_cast<unsigned long long>(size.QuadPart);
    for (unsigned long long index = 1; index <= partCount; ++index) {
        PartRecord& record = records[index - 1];
        if (!record.leftOut) continue;
        unsigned long long base = (index - 1) * firstLength;
        record.length = index < partCount ? firstLength : end - base;
        if (end <= base || record.length > firstLength) return false;
        record.copied = true;
    }
    return true;
}

// The destination must be another drive than the one whose disks are changed.
bool DestinationOnThePartsDrive() {
    if (!set.removable) return false;
    char partsRoot[kPathSize], destRoot[kPathSize];
    DWORD a = GetFullPathNameA(set.folder[0] ? set.folder : ".", kPathSize, partsRoot, nullptr);
    DWORD b = GetFullPathNameA(appState.destDir, kPathSize, destRoot, nullptr);
    if (a == 0 || a >= kPathSize || b == 0 || b >= kPathSize) return true;
    PathStripToRootA(partsRoot);
    PathStripToRootA(destRoot);
    return lstrcmpiA(partsRoot, destRoot) == 0;
}

// Before anything is copied: the set and its list, the destination, the joined name.
bool Prepare() {
    // Paths that do not fit a buffer name no file that could be read or written.
    if (!OpenJoinSet(appState.sourcePath, set)) return Fail("Error Opening File", appState.sourcePath);
    if (!AddBackslash(appState.destDir) ||
        !FormatText(joinedPath, sizeof joinedPath, "%s%s", appState.destDir, set.name) ||
        !FormatText(joiningPath, sizeof joiningPath, "%s%s.joining", appState.destDir, set.name) ||
        !FitsPath(joiningPath)) {
        return Fail("Cannot create the File: its path is too long", appState.destDir);
    }
    if (DestinationOnThePartsDrive()) {
        Ask("The parts come from a removable drive, whose disks are changed during the join.\n"
            "Choose a destination folder on another drive.",
            MB_OK | MB_ICONERROR);
        return false;
    }
    PartList list = ReadPartList(set);
    if (list == PartList::Refused) {
        RefuseList();
        return false;
    }
    if (PathFileExistsA(joinedPath)) {
        char text[3 * kPathSize];
        FormatText(text, sizeof text, "%s already exists.\nDo you want to replace it?", joinedPath);
        if (MessageBoxA(nullptr, text, kWindowTitle, MB_YESNO | MB_ICONQUESTION) != IDYES) {
            return false;
        }
    }
    // Parts rebuilt here count as found below.
    if (joinBeforeCopyHook != nullptr && !joinBeforeCopyHook(set)) return false;
    countKnown = list == PartList::Read || !set.removable;
    withoutList = list != PartList::Read || !joinCheckParts;
    if (list == PartList::Read) {
        partCount = set.partCount;
    } else {
        unsigned long long bytes = 0;
        CountPartsFound(set, partCount, bytes);
        if (!set.removable && partCount == 0) partCount = 1;  // the first part's box says it
    }
    return true;
}

// The joined file, cut to the set's length, in place of any file of its name.
bool PutInPlace() {
    if (partCount == 0 || partCount > recordCapacity || !records[partCount - 1].copied) {
        return false;
    }
    unsigned long long total = (partCount - 1) * firstLength + records[partCount - 1].length;
    if (!MoveOutput(total) || !SetEndOfFile(output)) return false;
    bool closed = CloseHandle(output) != 0;
    output = INVALID_HANDLE_VALUE;
    if (!closed) return false;
    if (MoveFileExA(joiningPath, joinedPath, MOVEFILE_REPLACE_EXISTING)) return true;
    // Windows 95 and 98 know no replacing move.
    if (GetLastError() != ERROR_CALL_NOT_IMPLEMENTED) return false;
    return (!PathFileExistsA(joinedPath) || DeleteFileA(joinedPath)) &&
           MoveFileA(joiningPath, joinedPath);
}

void DropOutput() {
    if (output != INVALID_HANDLE_VALUE) CloseHandle(output);
    output = INVALID_HANDLE_VALUE;
    DeleteFileA(joiningPath);
}

bool Run() {
    if (!Prepare()) return false;
    output = CreateFileA(joiningPath, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
    if (output == INVALID_HANDLE_VALUE) return Fail("Error Creating File", joiningPath);
    progress = SplitProgress{};
    progress.partCount = partCount;
    progress.fileSize = appState.fileSize;
    bool joined = CopyParts() && MendLeftOut() &&
                  (PutInPlace() || told || Fail("The joined File cannot be put in place", joinedPath));
    if (joined) {
        appState.fileSize = (partCount - 1) * firstLength + records[partCount - 1].length;
        appState.partCount = partCount;
        return true;
    }
    DropOutput();
    if (!sessionEnded && !told) Ask(kCancelling, MB_OK | MB_ICONWARNING);
    return false;
}
}  // namespace

bool JoinFile() {
    sessionEnded = false;
    told = false;
    countKnown = false;
    partCount = firstLength = 0;
    withoutList = true;
    bool joined = Run();
    EndHashing();
    CloseJoinSet(set);
    FreeRecords();
    return joined;
}

bool JoinedWithoutList() { return withoutList; }

bool PreviewJoin(const char* firstPart, JoinPreview& preview) {
    preview = JoinPreview{};
    JoinSet found;
    if (!OpenJoinSet(firstPart, found)) return false;
    if (ReadPartList(found) == PartList::Read) {
        // The list's number holds: its parts that are there, gaps or not, and none beyond.
        preview.parts = found.partCount;
        unsigned long long length = 0;
        for (unsigned long long index = 1; index <= found.partCount; ++index) {
            if (PartLength(found, index, length)) preview.bytes += length;
        }
    } else {
        CountPartsFound(found, preview.parts, preview.bytes);
    }
    CloseJoinSet(found);
    return true;
}

void EndJoinAsSessionEnds() {
    sessionEnded = true;
    // The process may end as soon as the caller returns: no half-joined file stays.
    if (output != INVALID_HANDLE_VALUE) DropOutput();
}
