#include "recovery/par2_packets.h"

#include <cstring>

void PutPacketHeader(BYTE* packet, unsigned long long length, const BYTE (&packetMd5)[kMd5Size],
                     const BYTE (&setId)[kMd5Size], const char* type) {
    std::memcpy(packet, kPacketMagic, 8);
    PutU64(packet + 8, length);
    std::memcpy(packet + 16, packetMd5, kMd5Size);
    std::memcpy(packet + 32, setId, kMd5Size);
    std::memcpy(packet + 48, type, 16);
}

bool SealPacket(BYTE* packet, DWORD bodyLength, const BYTE (&setId)[kMd5Size], const char* type) {
    std::memcpy(packet + 32, setId, kMd5Size);
    std::memcpy(packet + 48, type, 16);
    BYTE digest[kMd5Size];
    if (!Md5Of(packet + 32, 32 + bodyLength, digest)) return false;
    PutPacketHeader(packet, kPacketHeaderSize + bodyLength, digest, setId, type);
    return true;
}
