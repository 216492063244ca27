// Stands in for certutil, whose -hashfile prints nothing under Wine: the SHA-256
// of a file by CryptoAPI, printed as Windows 10 prints it (one word of lower-case
// hex), or as Windows 7 does (a blank between bytes) when VELK_CERTUTIL_FORM is 7.
// Only the algorithm named in capitals is known, as the merge script names it. A file
// whose name ends in VELK_CERTUTIL_FAIL fails as a part held open elsewhere does.
#include <windows.h>
#include <wincrypt.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
    if (argc != 4 || std::strcmp(argv[1], "-hashfile") != 0 || std::strcmp(argv[3], "SHA256") != 0) {
        std::printf("CertUtil: Unknown arguments.\r\n");
        return 1;
    }
    const char* fail = std::getenv("VELK_CERTUTIL_FAIL");
    const char* end = argv[2] + std::strlen(argv[2]) - (fail ? std::strlen(fail) : 0);
    if (fail != nullptr && *fail != '\0' && end >= argv[2] && std::strcmp(end, fail) == 0) {
        std::printf("CertUtil: -hashfile command FAILED: 0x80070020\r\nCertUtil: The file is in use.\r\n");
        return 2;
    }
    HANDLE file = CreateFileA(argv[2], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                              nullptr);
    HCRYPTPROV provider = 0;
    HCRYPTHASH hash = 0;
    if (file == INVALID_HANDLE_VALUE ||
        !CryptAcquireContextA(&provider, nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT) ||
        !CryptCreateHash(provider, ALG_CLASS_HASH | ALG_TYPE_ANY | 12, 0, 0, &hash)) {
        std::printf("CertUtil: -hashfile command FAILED: 0x80070002 (WIN32: 2 ERROR_FILE_NOT_FOUND)\r\n");
        return 2;
    }
    static BYTE buffer[1 << 16];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0) {
        CryptHashData(hash, buffer, read, 0);
    }
    BYTE digest[32];
    DWORD size = sizeof digest;
    CryptGetHashParam(hash, HP_HASHVAL, digest, &size, 0);
    const char* form = std::getenv("VELK_CERTUTIL_FORM");
    bool seven = form != nullptr && std::strcmp(form, "7") == 0;
    std::printf(seven ? "SHA256 hash of file %s:\r\n" : "SHA256 hash of %s:\r\n", argv[2]);
    for (DWORD i = 0; i < size; ++i) std::printf(seven && i > 0 ? " %02x" : "%02x", digest[i]);
    std::printf("\r\nCertUtil: -hashfile command completed successfully.\r\n");
    return 0;
}
