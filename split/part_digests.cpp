#include "split/part_digests.h"

#include <cstdio>
#include <cstring>

#include "core/app_state.h"
#include "split/mapped_file.h"
#include "split/part_hasher.h"

namespace {
// The run's digests, one after another, in memory that grows with the parts: a
// tiny part size can mean millions of them. When memory or the hashing fails, the
// run keeps none, and the list that cannot be written is said to be missing. A
// part's digest is written into its place once its last slice is hashed, while the
// next part is copied.
bool keeping = false;
bool lost = false;  // kept no longer since a failure
DWORD runParts = 0;
BYTE* digests = nullptr;
DWORD capacity = 0;    // digests the memory holds
DWORD finished = 0;    // parts whose digest is in, or on its way
bool failed = false;   // a part's digest turned out unsound
bool hashing = false;  // a part's stream is under way

void Drop() {
    // The hashing thread may still write a digest into the memory freed here.
    EndHashing();
    hashing = false;
    failed = false;
    if (digests != nullptr) HeapFree(GetProcessHeap(), 0, digests);
    digests = nullptr;
    capacity = 0;
    finished = 0;
    keeping = false;
}

// A failure: the run's digests are gone, and the list with them.
void Lose() {
    Drop();
    lost = true;
}

bool MakeRoom() {
    if (finished < capacity) return true;
    DWORD grown = capacity < 1024 ? 1024 : capacity * 2;
    if (grown > runParts) grown = runParts;
    if (grown <= capacity || grown > 0xFFFFFFFFu / kDigestSize) return false;
    // A digest on its way lands in the memory as it is now.
    WaitForHash();
    void* memory = digests == nullptr
                       ? HeapAlloc(GetProcessHeap(), 0, grown * kDigestSize)
                       : HeapReAlloc(GetProcessHeap(), 0, digests, grown * kDigestSize);
    if (memory == nullptr) return false;
    digests = static_cast<BYTE*>(memory);
    capacity = grown;
    return true;
}
}  // namespace

bool Utf8PartName(const char* name, DWORD part, char* out, int size) {
    char ansi[kPathSize + 16];
    wchar_t wide[kPathSize + 16];
    return FormatText(ansi, sizeof ansi, "%s.%03lu", name, static_cast<unsigned long>(part)) &&
           MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, ansi, -1, wide, kPathSize + 16) != 0 &&
           WideCharToMultiByte(CP_UTF8, 0, wide, -1, out, size, nullptr, nullptr) != 0;
}

void BeginPartDigests(DWORD parts, bool enabled) {
    Drop();
    lost = false;
    runParts = parts;
    // A system without SHA-256 keeps no digests and loses none: the probe's stream
    // is dropped by the first part's.
    keeping = enabled && BeginHash();
}

void StartPartDigest(DWORD part) {
    if (!keeping) return;
    hashing = part == finished + 1 && BeginHash();
    if (!hashing) Lose();
}

void AddToPartDigest(const void* bytes, DWORD length) {
    if (keeping) AddToHash(bytes, length);
}

void WaitForPartDigest() { WaitForHash(); }

void FinishPartDigest(DWORD part) {
    if (!keeping) return;
    if (part != finished + 1 || !hashing || !MakeRoom()) {
        Lose();
        return;
    }
    FinishHashLater(digests + finished * kDigestSize, &failed);
    hashing = false;
    ++finished;
}

void EndPartHashing() {
    EndHashing();
    hashing = false;
}

bool HavePartDigests(DWORD parts) {
    if (!keeping) return false;
    WaitForHash();
    return !failed && !hashing && finished == runParts && runParts == parts;
}

bool PartDigestsLost() {
    if (keeping) WaitForHash();
    return lost || failed;
}

bool PartDigestHex(DWORD part, char (&hex)[2 * kDigestSize + 1]) {
    if (!HavePartDigests(runParts) || part == 0 || part > finished) return false;
    const BYTE* digest = digests + (part - 1) * kDigestSize;
    for (DWORD i = 0; i < kDigestSize; ++i) {
        hex[2 * i] = "0123456789abcdef"[digest[i] >> 4];
        hex[2 * i + 1] = "0123456789abcdef"[digest[i] & 15];
    }
    hex[2 * kDigestSize] = '\0';
    return true;
}

unsigned long long DigestListSize(const char* name) {
    if (!HavePartDigests(runParts)) return 0;
    char first[4 * kPathSize];
    if (!Utf8PartName(name, 1, first, sizeof first)) return 0;
    // Every line but for the number's digits is as long as the first: hex, two
    // blanks, the name, a line feed; numbers from 1000 on take a byte per digit more.
    unsigned long long size = runParts * (2ull * kDigestSize + 3 + std::strlen(first));
    for (unsigned long long from = 1000; from <= runParts; from *= 10) size += runParts - from + 1;
    return size;
}

bool WriteDigestList(MappedFile& writer, const char* name) {
    char line[2 * kDigestSize + 4 * kPathSize + 8];
    char hex[2 * kDigestSize + 1];
    char file[4 * kPathSize];
    for (DWORD part = 1; part <= runParts && part != 0; ++part) {
        if (!PartDigestHex(part, hex) || !Utf8PartName(name, part, file, sizeof file) ||
            !FormatText(line, sizeof line, "%s  %s\n", hex, file) ||
            writer.Write(line, static_cast<DWORD>(std::strlen(line))) != 1) {
            return false;
        }
    }
    return true;
}

void EndPartDigests() {
    Drop();
    lost = false;
    runParts = 0;
}
