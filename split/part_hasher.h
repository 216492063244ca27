// SHA-256 of one stream of bytes (a part), taken on a second thread while the
// caller copies the next slice. One caller thread at a time; the split and the
// join each hold one stream after another.
#pragma once
#include <windows.h>

// A new stream; false when the system has no SHA-256 (then the other calls do
// nothing). A stream begun and not finished is dropped.
bool BeginHash();
// Hands the piece to the hashing thread and returns at once, after the previous
// piece was taken in full. The bytes must stay in place until the next call here
// that waits.
void AddToHash(const void* bytes, DWORD length);
// Returns once every piece handed over was hashed: call before the view that
// holds them is unmapped or moved.
void WaitForHash();
// Waits, then gives the stream's digest; false when a piece could not be hashed
// (the platform failed, or its bytes could not be read) or no stream is under way.
bool FinishHash(BYTE (&digest)[32]);

// As FinishHash, but returns at once, so that the next stream can begin while the
// last piece of this one is still hashed: once it is, at the latest in the next
// call here that waits, the digest goes into `digest`, and `failed` is set true
// when it is not sound (left as it is otherwise). Both must stay in place until then.
void FinishHashLater(BYTE* digest, bool* failed);
// Waits, drops a stream under way and ends the hashing thread: at the end of a
// run, however it ends. The next stream starts the thread again.
void EndHashing();
