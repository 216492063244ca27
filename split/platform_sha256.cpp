#include "split/platform_sha256.h"

#include <bcrypt.h>
#include <wincrypt.h>

#include <new>

#include "core/app_state.h"

bool sha256ThroughCng = true;

namespace {
template <typename Call>
Call Find(HMODULE module, const char* name) {
    return reinterpret_cast<Call>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// CNG, from the system folder only: a bcrypt.dll beside the program or in the
// current folder is never loaded.
using OpenAlgorithmCall = NTSTATUS(WINAPI*)(BCRYPT_ALG_HANDLE*, LPCWSTR, LPCWSTR, ULONG);
using GetPropertyCall = NTSTATUS(WINAPI*)(BCRYPT_HANDLE, LPCWSTR, PUCHAR, ULONG, ULONG*, ULONG);
using CngCreateHashCall = NTSTATUS(WINAPI*)(BCRYPT_ALG_HANDLE, BCRYPT_HASH_HANDLE*, PUCHAR, ULONG,
                                            PUCHAR, ULONG, ULONG);
using CngHashDataCall = NTSTATUS(WINAPI*)(BCRYPT_HASH_HANDLE, PUCHAR, ULONG, ULONG);
using CngFinishHashCall = NTSTATUS(WINAPI*)(BCRYPT_HASH_HANDLE, PUCHAR, ULONG, ULONG);
using CngDestroyHashCall = NTSTATUS(WINAPI*)(BCRYPT_HASH_HANDLE);

struct Cng {
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    DWORD objectSize = 0;  // Vista wants the hash object's memory from the caller
    CngCreateHashCall createHash = nullptr;
    CngHashDataCall hashData = nullptr;
    CngFinishHashCall finishHash = nullptr;
    CngDestroyHashCall destroyHash = nullptr;
};

const Cng* CngSha256() {
    static Cng cng;
    static bool looked = false;
    if (looked) return cng.algorithm != nullptr ? &cng : nullptr;
    looked = true;
    char folder[kPathSize];
    char path[kPathSize];
    UINT length = GetSystemDirectoryA(folder, sizeof folder);
    if (length == 0 || length >= sizeof folder || !AddBackslash(folder) ||
        !FormatText(path, sizeof path, "%sbcrypt.dll", folder)) {
        return nullptr;
    }
    HMODULE bcrypt = LoadLibraryA(path);
    if (bcrypt == nullptr) return nullptr;
    auto open = Find<OpenAlgorithmCall>(bcrypt, "BCryptOpenAlgorithmProvider");
    auto getProperty = Find<GetPropertyCall>(bcrypt, "BCryptGetProperty");
    cng.createHash = Find<CngCreateHashCall>(bcrypt, "BCryptCreateHash");
    cng.hashData = Find<CngHashDataCall>(bcrypt, "BCryptHashData");
    cng.finishHash = Find<CngFinishHashCall>(bcrypt, "BCryptFinishHash");
    cng.destroyHash = Find<CngDestroyHashCall>(bcrypt, "BCryptDestroyHash");
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    DWORD objectSize = 0, digestSize = 0;
    ULONG got = 0;
    if (open == nullptr || getProperty == nullptr || cng.createHash == nullptr ||
        cng.hashData == nullptr || cng.finishHash == nullptr || cng.destroyHash == nullptr ||
        open(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0) < 0) {
        return nullptr;
    }
    if (getProperty(algorithm, BCRYPT_OBJECT_LENGTH, reinterpret_cast<PUCHAR>(&objectSize),
                    sizeof objectSize, &got, 0) < 0 ||
        getProperty(algorithm, BCRYPT_HASH_LENGTH, reinterpret_cast<PUCHAR>(&digestSize),
                    sizeof digestSize, &got, 0) < 0 ||
        digestSize != 32 || objectSize == 0) {
        // The provider stays open for the process: it is looked up only once.
        return nullptr;
    }
    cng.objectSize = objectSize;
    cng.algorithm = algorithm;
    return &cng;
}

using AcquireCall = BOOL(WINAPI*)(HCRYPTPROV*, LPCSTR, LPCSTR, DWORD, DWORD);
using CreateHashCall = BOOL(WINAPI*)(HCRYPTPROV, ALG_ID, HCRYPTKEY, DWORD, HCRYPTHASH*);
using HashDataCall = BOOL(WINAPI*)(HCRYPTHASH, const BYTE*, DWORD, DWORD);
using GetHashParamCall = BOOL(WINAPI*)(HCRYPTHASH, DWORD, BYTE*, DWORD*, DWORD);
using DestroyHashCall = BOOL(WINAPI*)(HCRYPTHASH);
// CALG_SHA_256, which the headers give only to builds for XP SP3 and later.
constexpr ALG_ID kSha256 = ALG_CLASS_HASH | ALG_TYPE_ANY | 12;

struct CryptoApi {
    HCRYPTPROV provider = 0;
    CreateHashCall createHash = nullptr;
    HashDataCall hashData = nullptr;
    GetHashParamCall getHashParam = nullptr;
    DestroyHashCall destroyHash = nullptr;
};

const CryptoApi* CryptoApiSha256() {
    static CryptoApi api;
    static bool looked = false;
    if (looked) return api.provider != 0 ? &api : nullptr;
    looked = true;
    HMODULE advapi = LoadLibraryA("advapi32.dll");
    if (advapi == nullptr) return nullptr;
    auto acquire = Find<AcquireCall>(advapi, "CryptAcquireContextA");
    api.createHash = Find<CreateHashCall>(advapi, "CryptCreateHash");
    api.hashData = Find<HashDataCall>(advapi, "CryptHashData");
    api.getHashParam = Find<GetHashParamCall>(advapi, "CryptGetHashParam");
    api.destroyHash = Find<DestroyHashCall>(advapi, "CryptDestroyHash");
    if (acquire == nullptr || api.createHash == nullptr || api.hashData == nullptr ||
        api.getHashParam == nullptr || api.destroyHash == nullptr ||
        !acquire(&api.provider, nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT)) {
        api.provider = 0;
        return nullptr;
    }
    return &api;
}
}  // namespace

struct Sha256 {
    const Cng* cng = nullptr;  // null: CryptoAPI
    BCRYPT_HASH_HANDLE cngHash = nullptr;
    BYTE* cngObject = nullptr;
    HCRYPTHASH apiHash = 0;
};

Sha256* StartSha256() {
    Sha256* sha = new (std::nothrow) Sha256;
    if (sha == nullptr) return nullptr;
    if (const Cng* cng = sha256ThroughCng ? CngSha256() : nullptr) {
        sha->cng = cng;
        sha->cngObject = new (std::nothrow) BYTE[cng->objectSize];
        if (sha->cngObject != nullptr &&
            cng->createHash(cng->algorithm, &sha->cngHash, sha->cngObject, cng->objectSize,
                            nullptr, 0, 0) >= 0) {
            return sha;
        }
    } else if (const CryptoApi* api = CryptoApiSha256()) {
        if (api->createHash(api->provider, kSha256, 0, 0, &sha->apiHash)) return sha;
        sha->apiHash = 0;
    }
    sha->cngHash = nullptr;
    DropSha256(sha);
    return nullptr;
}

bool AddToSha256(Sha256* sha, const void* bytes, DWORD length) {
    if (sha->cng != nullptr) {
        return sha->cng->hashData(sha->cngHash,
                                  static_cast<PUCHAR>(const_cast<void*>(bytes)), length, 0) >= 0;
    }
    return CryptoApiSha256()->hashData(sha->apiHash, static_cast<const BYTE*>(bytes), length, 0);
}

bool FinishSha256(Sha256* sha, BYTE (&digest)[32]) {
    bool done;
    if (sha->cng != nullptr) {
        done = sha->cng->finishHash(sha->cngHash, digest, sizeof digest, 0) >= 0;
    } else {
        DWORD size = sizeof digest;
        done = CryptoApiSha256()->getHashParam(sha->apiHash, HP_HASHVAL, digest, &size, 0) &&
               size == sizeof digest;
    }
    DropSha256(sha);
    return done;
}

void DropSha256(Sha256* sha) {
    if (sha == nullptr) return;
    if (sha->cngHash != nullptr) sha->cng->destroyHash(sha->cngHash);
    if (sha->apiHash != 0) CryptoApiSha256()->destroyHash(sha->apiHash);
    delete[] sha->cngObject;
    delete sha;
}
