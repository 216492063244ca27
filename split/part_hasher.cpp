#include "split/part_hasher.h"

#include <csetjmp>

#include "split/fault_guard.h"
#include "split/platform_sha256.h"

namespace {
// A stream and whether a piece of it failed; the hashing thread sets `failed`.
struct Stream {
    Sha256* sha = nullptr;
    bool failed = false;
};

// Two streams at most are alive: the one taking pieces, and the one ended with
// FinishHashLater whose last piece may still be hashed.
Stream streams[2];
Stream* current = nullptr;
Stream* ending = nullptr;
BYTE* endingDigest = nullptr;
bool* endingFailed = nullptr;

// The hashing thread and its hand-over. The caller writes the piece only while the
// thread is idle (pieceDone set), the thread reads it only after pieceReady: the
// events order the two.
HANDLE thread = nullptr;
HANDLE pieceReady = nullptr;  // auto-reset: a piece, or the end, was handed over
HANDLE pieceDone = nullptr;   // manual-reset: the piece handed over was hashed
bool busy = false;            // a piece was handed over and not yet waited for
Stream* pieceStream = nullptr;
const BYTE* pieceBytes = nullptr;
DWORD pieceLength = 0;
bool quitting = false;

// The bytes hashed live in a view of a file whose medium may fail: the thread's
// hashing is guarded as the copy is, and that piece's stream then fails.
std::jmp_buf hashFailed;
volatile DWORD guardedThread = 0;  // the hashing thread while it reads a piece
PVOID hashGuard = nullptr;

LONG CALLBACK OnHashFault(EXCEPTION_POINTERS* pointers) {
    if (guardedThread == 0 || guardedThread != GetCurrentThreadId()) {
        return EXCEPTION_CONTINUE_SEARCH;
    }
    // Only a fault on the piece's own bytes; any other goes on to end the process.
    const ULONG_PTR address = FaultAddress(pointers);
    if (address == 0 || address - reinterpret_cast<ULONG_PTR>(pieceBytes) >= pieceLength) {
        return EXCEPTION_CONTINUE_SEARCH;
    }
    guardedThread = 0;
    std::longjmp(hashFailed, 1);
}

// On Vista and later an entry that a jump out of the handler has passed through is
// never freed: registered once for the thread's life.
void GuardHashing(bool on) { GuardFaults(hashGuard, OnHashFault, on); }

bool HashGuarded(Stream* stream, const BYTE* bytes, DWORD length) {
    volatile bool hashed = false;
    if (setjmp(hashFailed) == 0) {
        guardedThread = hashGuard != nullptr ? GetCurrentThreadId() : 0;
        hashed = AddToSha256(stream->sha, bytes, length);
    }
    guardedThread = 0;
    return hashed;
}

DWORD WINAPI HashPieces(void*) {
    for (;;) {
        if (WaitForSingleObject(pieceReady, INFINITE) != WAIT_OBJECT_0 || quitting) return 0;
        if (!HashGuarded(pieceStream, pieceBytes, pieceLength)) pieceStream->failed = true;
        SetEvent(pieceDone);
    }
}

void CloseEvents() {
    if (pieceReady != nullptr) CloseHandle(pieceReady);
    if (pieceDone != nullptr) CloseHandle(pieceDone);
    pieceReady = pieceDone = nullptr;
}

// The thread, started on the first piece of a run. Where it cannot be had, the
// pieces are hashed on the caller's thread.
bool StartThread() {
    if (thread != nullptr) return true;
    pieceReady = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    pieceDone = CreateEventA(nullptr, TRUE, TRUE, nullptr);
    if (pieceReady == nullptr || pieceDone == nullptr) {
        CloseEvents();
        return false;
    }
    quitting = false;
    GuardHashing(true);
    DWORD id = 0;
    thread = CreateThread(nullptr, 0, HashPieces, nullptr, 0, &id);
    if (thread != nullptr) return true;
    GuardHashing(false);
    CloseEvents();
    return false;
}

void Release(Stream*& stream) {
    if (stream == nullptr) return;
    DropSha256(stream->sha);
    stream->sha = nullptr;
    stream = nullptr;
}

// Waits for the piece handed over, then gives the ended stream its digest: the
// thread has let go of it.
void Settle() {
    if (busy) {
        WaitForSingleObject(pieceDone, INFINITE);
        busy = false;
    }
    if (ending == nullptr) return;
    BYTE digest[32];
    bool sound = !ending->failed && FinishSha256(ending->sha, digest);
    if (!ending->failed) ending->sha = nullptr;  // FinishSha256 freed it
    Release(ending);
    if (sound) {
        CopyMemory(endingDigest, digest, sizeof digest);
    } else {
        *endingFailed = true;
    }
}
}  // namespace

bool BeginHash() {
    if (current != nullptr) {
        Settle();
        Release(current);
    }
    Stream* stream = ending == &streams[0] ? &streams[1] : &streams[0];
    stream->sha = StartSha256();
    stream->failed = false;
    if (stream->sha == nullptr) return false;
    current = stream;
    return true;
}

void AddToHash(const void* bytes, DWORD length) {
    if (current == nullptr) return;
    Settle();
    if (!StartThread()) {
        if (!AddToSha256(current->sha, bytes, length)) current->failed = true;
        return;
    }
    pieceStream = current;
    pieceBytes = static_cast<const BYTE*>(bytes);
    pieceLength = length;
    busy = true;
    ResetEvent(pieceDone);
    SetEvent(pieceReady);
}

void WaitForHash() { Settle(); }

bool FinishHash(BYTE (&digest)[32]) {
    Settle();
    if (current == nullptr) return false;
    bool sound = !current->failed && FinishSha256(current->sha, digest);
    if (!current->failed) current->sha = nullptr;
    Release(current);
    return sound;
}

void FinishHashLater(BYTE* digest, bool* failed) {
    if (current == nullptr) {
        *failed = true;
        return;
    }
    if (ending != nullptr) Settle();
    ending = current;
    endingDigest = digest;
    endingFailed = failed;
    current = nullptr;
}

void EndHashing() {
    Settle();
    Release(current);
    if (thread == nullptr) return;
    quitting = true;
    SetEvent(pieceReady);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    thread = nullptr;
    GuardHashing(false);
    CloseEvents();
}
