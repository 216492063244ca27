// The packets of a PAR2 recovery set (the Parity Volume Set format 2.0): their
// header, types and the sizes of their bodies, shared by the writer and the repair.
#pragma once
#include <windows.h>

#include "recovery/checksums.h"

constexpr DWORD kPacketHeaderSize = 64;
constexpr BYTE kPacketMagic[8] = {'P', 'A', 'R', '2', '\0', 'P', 'K', 'T'};
// Types, 16 bytes each.
constexpr char kMainType[] = "PAR 2.0\0Main\0\0\0\0";
constexpr char kFileDescType[] = "PAR 2.0\0FileDesc";
constexpr char kSliceChecksumType[] = "PAR 2.0\0IFSC\0\0\0\0";
constexpr char kRecoverySliceType[] = "PAR 2.0\0RecvSlic";
constexpr char kCreatorType[] = "PAR 2.0\0Creator\0";

// The format's own limits: constants for at most 32768 input slices, exponents below 65535.
constexpr DWORD kMaxInputSlices = 32768;
constexpr DWORD kMaxExponent = 65534;
// Bytes that make up one input slice's checksum entry (MD5, CRC-32).
constexpr DWORD kSliceEntrySize = kMd5Size + 4;

inline DWORD PadTo4(DWORD length) { return (length + 3) & ~3u; }

inline void PutU32(BYTE* at, DWORD value) {
    for (int i = 0; i < 4; ++i) at[i] = static_cast<BYTE>(value >> (8 * i));
}
inline void PutU64(BYTE* at, unsigned long long value) {
    for (int i = 0; i < 8; ++i) at[i] = static_cast<BYTE>(value >> (8 * i));
}
inline DWORD GetU32(const BYTE* at) {
    return at[0] | at[1] << 8 | at[2] << 16 | static_cast<DWORD>(at[3]) << 24;
}
inline unsigned long long GetU64(const BYTE* at) {
    return GetU32(at) | static_cast<unsigned long long>(GetU32(at + 4)) << 32;
}

// Fills the header of a packet whose body already follows it at packet + 64:
// magic, length, set id, type, and the MD5 of set id, type and body.
bool SealPacket(BYTE* packet, DWORD bodyLength, const BYTE (&setId)[kMd5Size], const char* type);
// The header alone, for a packet whose MD5 was taken elsewhere (a recovery slice,
// hashed as its data is read back).
void PutPacketHeader(BYTE* packet, unsigned long long length, const BYTE (&packetMd5)[kMd5Size],
                     const BYTE (&setId)[kMd5Size], const char* type);
