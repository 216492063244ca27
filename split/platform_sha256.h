// SHA-256 through the platform: CNG (Vista and later), which uses the CPU's SHA
// instructions where it has them, else CryptoAPI's AES provider (XP SP3 and
// later). Both are looked up at run time, so a Windows with neither still starts.
#pragma once
#include <windows.h>

// One digest under way; null where the system has no SHA-256.
struct Sha256;

Sha256* StartSha256();
// False when the platform failed: the digest is then worth nothing.
bool AddToSha256(Sha256* sha, const void* bytes, DWORD length);
// Gives the digest and frees sha (false when the platform failed).
bool FinishSha256(Sha256* sha, BYTE (&digest)[32]);
// Frees sha without a digest; null is allowed.
void DropSha256(Sha256* sha);

// True: CNG where it has SHA-256, CryptoAPI otherwise; false: CryptoAPI only
// (the tests check both routes).
extern bool sha256ThroughCng;
