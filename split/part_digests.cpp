#include "split/part_digests.h"

#include <wincrypt.h>

#include <cstdio>
#include <cstring>

#include "core/app_state.h"
#include "split/mapped_file.h"

namespace {
// CryptoAPI's SHA-256 (the AES provider, XP SP3 and later), looked up at run time:
// a Windows without it still starts the program, and its runs keep no digests.
// Under Wine, CNG's SHA-256 measured no faster, and it needs Vista.
using AcquireCall = BOOL(WINAPI*)(HCRYPTPROV*, LPCSTR, LPCSTR, DWORD, DWORD);
using CreateHashCall = BOOL(WINAPI*)(HCRYPTPROV, ALG_ID, HCRYPTKEY, DWORD, HCRYPTHASH*);
using HashDataCall = BOOL(WINAPI*)(HCRYPTHASH, const BYTE*, DWORD, DWORD);
using GetHashParamCall = BOOL(WINAPI*)(HCRYPTHASH, DWORD, BYTE*, DWORD*, DWORD);
using DestroyHashCall = BOOL(WINAPI*)(HCRYPTHASH);
// CALG_SHA_256, which the headers give only to builds for XP SP3 and later.
constexpr ALG_ID kSha256 = ALG_CLASS_HASH | ALG_TYPE_ANY | 12;

struct Sha256 {
    HCRYPTPROV provider = 0;
    CreateHashCall createHash = nullptr;
    HashDataCall hashData = nullptr;
    GetHashParamCall getHashParam = nullptr;
    DestroyHashCall destroyHash = nullptr;
};

template <typename Call>
Call Find(HMODULE module, const char* name) {
    return reinterpret_cast<Call>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// The provider, acquired once for the process; null where there is none.
const Sha256* Platform() {
    static Sha256 sha;
    static bool looked = false;
    if (looked) return sha.provider != 0 ? &sha : nullptr;
    looked = true;
    HMODULE advapi = LoadLibraryA("advapi32.dll");
    if (advapi == nullptr) return nullptr;
    auto acquire = Find<AcquireCall>(advapi, "CryptAcquireContextA");
    sha.createHash = Find<CreateHashCall>(advapi, "CryptCreateHash");
    sha.hashData = Find<HashDataCall>(advapi, "CryptHashData");
    sha.getHashParam = Find<GetHashParamCall>(advapi, "CryptGetHashParam");
    sha.destroyHash = Find<DestroyHashCall>(advapi, "CryptDestroyHash");
    if (acquire == nullptr || sha.createHash == nullptr || sha.hashData == nullptr ||
        sha.getHashParam == nullptr || sha.destroyHash == nullptr ||
        !acquire(&sha.provider, nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT)) {
        sha.provider = 0;
        return nullptr;
    }
    return &sha;
}

// The run's digests, one after another, in memory that grows with the parts: a
// tiny part size can mean millions of them. When memory or the hashing fails, the
// run keeps none and no list is written.
bool keeping = false;
DWORD runParts = 0;
BYTE* digests = nullptr;
DWORD capacity = 0;  // digests the memory holds
DWORD finished = 0;  // parts whose digest is in
HCRYPTHASH current = 0;

void Drop() {
    if (current != 0) Platform()->destroyHash(current);
    current = 0;
    if (digests != nullptr) HeapFree(GetProcessHeap(), 0, digests);
    digests = nullptr;
    capacity = 0;
    finished = 0;
    keeping = false;
}

bool MakeRoom() {
    if (finished < capacity) return true;
    DWORD grown = capacity < 1024 ? 1024 : capacity * 2;
    if (grown > runParts) grown = runParts;
    if (grown <= capacity || grown > 0xFFFFFFFFu / kDigestSize) return false;
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
    runParts = parts;
    keeping = enabled && Platform() != nullptr;
}

void StartPartDigest(DWORD part) {
    if (!keeping) return;
    if (part != finished + 1 || current != 0 ||
        !Platform()->createHash(Platform()->provider, kSha256, 0, 0, &current)) {
        Drop();
    }
}

void AddToPartDigest(const void* bytes, DWORD length) {
    if (keeping && !Platform()->hashData(current, static_cast<const BYTE*>(bytes), length, 0)) {
        Drop();
    }
}

void FinishPartDigest(DWORD part) {
    if (!keeping) return;
    DWORD size = kDigestSize;
    if (part != finished + 1 || !MakeRoom() ||
        !Platform()->getHashParam(current, HP_HASHVAL, digests + finished * kDigestSize, &size,
                                  0) ||
        size != kDigestSize) {
        Drop();
        return;
    }
    Platform()->destroyHash(current);
    current = 0;
    ++finished;
}

bool HavePartDigests(DWORD parts) {
    return keeping && current == 0 && finished == runParts && runParts == parts;
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
    runParts = 0;
}
