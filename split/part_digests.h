// SHA-256 of each part, taken from the bytes as the run copies them, for the merge
// script's checks and the checksum list "<name>.sha256" beside the parts.
#pragma once
#include <windows.h>

class MappedFile;

constexpr DWORD kDigestSize = 32;

// A run of `parts` parts begins: the digests of an earlier run are dropped. With
// `enabled` false, or where the system has no SHA-256, the run keeps none.
void BeginPartDigests(DWORD parts, bool enabled);
// The bytes of part `part` begin; then each piece as it is copied; then its end.
// The pieces are hashed on a second thread while the next ones are copied: their
// bytes must stay mapped until WaitForPartDigest (or the next piece) returns.
void StartPartDigest(DWORD part);
void AddToPartDigest(const void* bytes, DWORD length);
void WaitForPartDigest();
void FinishPartDigest(DWORD part);
// The run's copying is over, however it ended: waits for the hashing and ends its
// thread; the digests stay for the script and the list.
void EndPartHashing();

// True when the last run had `parts` parts and every one has its digest.
bool HavePartDigests(DWORD parts);
// True when the last run meant to keep digests and lost them (no memory for them,
// or the hashing failed): the checksum list cannot be written.
bool PartDigestsLost();
// The digest of part `part` (from 1) in lower-case hex, 64 characters and a
// terminator into `hex`; false when the run has none.
bool PartDigestHex(DWORD part, char (&hex)[2 * kDigestSize + 1]);

// Bytes of the list for parts of `name`, 0 when there is none to write, or when
// the name has no UTF-8 spelling. Lines: hex, two blanks, the part's file name in
// UTF-8 (what other systems show), a line feed.
unsigned long long DigestListSize(const char* name);
// Writes those lines into `writer`, opened at that size.
bool WriteDigestList(MappedFile& writer, const char* name);

// The file name of part `part` of `name` as other systems show it, in UTF-8, into
// out of `size` bytes. False when the name has no UTF-8 spelling or does not fit.
bool Utf8PartName(const char* name, DWORD part, char* out, int size);

// Frees the digests kept for the script and the list.
void EndPartDigests();
