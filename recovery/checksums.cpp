#include "recovery/checksums.h"

#include <wincrypt.h>

namespace {
// CryptoAPI looked up at run time: a system without it still starts the program,
// and only its recovery sets are not made.
using AcquireCall = BOOL(WINAPI*)(HCRYPTPROV*, LPCSTR, LPCSTR, DWORD, DWORD);
using CreateHashCall = BOOL(WINAPI*)(HCRYPTPROV, ALG_ID, HCRYPTKEY, DWORD, HCRYPTHASH*);
using HashDataCall = BOOL(WINAPI*)(HCRYPTHASH, const BYTE*, DWORD, DWORD);
using GetHashParamCall = BOOL(WINAPI*)(HCRYPTHASH, DWORD, BYTE*, DWORD*, DWORD);
using DestroyHashCall = BOOL(WINAPI*)(HCRYPTHASH);

struct Provider {
    HCRYPTPROV handle = 0;
    CreateHashCall createHash = nullptr;
    HashDataCall hashData = nullptr;
    GetHashParamCall getHashParam = nullptr;
    DestroyHashCall destroyHash = nullptr;
};

template <typename Call>
Call Find(HMODULE module, const char* name) {
    return reinterpret_cast<Call>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

const Provider* Platform() {
    static Provider provider;
    static bool looked = false;
    if (looked) return provider.handle != 0 ? &provider : nullptr;
    looked = true;
    HMODULE advapi = LoadLibraryA("advapi32.dll");
    if (advapi == nullptr) return nullptr;
    auto acquire = Find<AcquireCall>(advapi, "CryptAcquireContextA");
    provider.createHash = Find<CreateHashCall>(advapi, "CryptCreateHash");
    provider.hashData = Find<HashDataCall>(advapi, "CryptHashData");
    provider.getHashParam = Find<GetHashParamCall>(advapi, "CryptGetHashParam");
    provider.destroyHash = Find<DestroyHashCall>(advapi, "CryptDestroyHash");
    if (acquire == nullptr || provider.createHash == nullptr || provider.hashData == nullptr ||
        provider.getHashParam == nullptr || provider.destroyHash == nullptr ||
        !acquire(&provider.handle, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT)) {
        provider.handle = 0;
        return nullptr;
    }
    return &provider;
}

// Four tables, so that four bytes are taken per step.
struct CrcTable {
    DWORD entry[4][256];
    CrcTable() {
        for (DWORD i = 0; i < 256; ++i) {
            DWORD c = i;
            for (int bit = 0; bit < 8; ++bit) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            entry[0][i] = c;
        }
        for (DWORD i = 0; i < 256; ++i) {
            for (int t = 1; t < 4; ++t) {
                entry[t][i] = entry[0][entry[t - 1][i] & 0xFF] ^ (entry[t - 1][i] >> 8);
            }
        }
    }
};
}  // namespace

Md5::~Md5() {
    if (hash_ != 0) Platform()->destroyHash(hash_);
}

bool Md5::Start() {
    if (hash_ != 0) Platform()->destroyHash(hash_);
    hash_ = 0;
    const Provider* platform = Platform();
    failed_ = platform == nullptr ||
              !platform->createHash(platform->handle, CALG_MD5, 0, 0, &hash_);
    return !failed_;
}

bool Md5::Add(const void* bytes, DWORD length) {
    if (failed_ || hash_ == 0) return false;
    if (length != 0 && !Platform()->hashData(hash_, static_cast<const BYTE*>(bytes), length, 0)) {
        failed_ = true;
    }
    return !failed_;
}

bool Md5::Finish(BYTE (&digest)[kMd5Size]) {
    if (failed_ || hash_ == 0) return false;
    DWORD size = kMd5Size;
    bool ok = Platform()->getHashParam(hash_, HP_HASHVAL, digest, &size, 0) && size == kMd5Size;
    Platform()->destroyHash(hash_);
    hash_ = 0;
    return ok;
}

bool Md5Of(const void* bytes, DWORD length, BYTE (&digest)[kMd5Size]) {
    Md5 md5;
    return md5.Start() && md5.Add(bytes, length) && md5.Finish(digest);
}

DWORD Crc32(DWORD crc, const void* bytes, DWORD length) {
    static const CrcTable table;
    const BYTE* p = static_cast<const BYTE*>(bytes);
    crc = ~crc;
    DWORD i = 0;
    for (; i + 4 <= length; i += 4) {
        crc ^= p[i] | p[i + 1] << 8 | p[i + 2] << 16 | static_cast<DWORD>(p[i + 3]) << 24;
        crc = table.entry[3][crc & 0xFF] ^ table.entry[2][(crc >> 8) & 0xFF] ^
              table.entry[1][(crc >> 16) & 0xFF] ^ table.entry[0][crc >> 24];
    }
    for (; i < length; ++i) crc = table.entry[0][(crc ^ p[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}
