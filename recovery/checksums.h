// The checksums of the PAR2 format: MD5 from the platform's CryptoAPI, and the
// CRC-32 of Ethernet and ZIP.
#pragma once
#include <windows.h>

constexpr DWORD kMd5Size = 16;

// One MD5 under way. Start fails where the system has no MD5 provider.
class Md5 {
public:
    Md5() = default;
    ~Md5();
    Md5(const Md5&) = delete;
    Md5& operator=(const Md5&) = delete;

    bool Start();
    bool Add(const void* bytes, DWORD length);
    // Writes the 16 bytes and ends the hash; false when any step failed.
    bool Finish(BYTE (&digest)[kMd5Size]);

private:
    HCRYPTHASH hash_ = 0;
    bool failed_ = false;
};

// The MD5 of one block of bytes.
bool Md5Of(const void* bytes, DWORD length, BYTE (&digest)[kMd5Size]);

// CRC-32 continued over more bytes: start with 0, pass each result back in.
DWORD Crc32(DWORD crc, const void* bytes, DWORD length);
