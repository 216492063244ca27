#include "recovery/recovery_writer.h"

#include <shlwapi.h>

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <new>

#include "core/app_state.h"
#include "recovery/checksums.h"
#include "recovery/file_io.h"
#include "recovery/md5_feed.h"
#include "recovery/par2_packets.h"
#include "recovery/slice_engine.h"
#include "split/free_space.h"
#include "split/part_digests.h"
#include "split/recovery_names.h"
#include "split/run_end.h"

RecoverySetReport lastRecoverySet = {0, 0, 0, false};
RecoveryProgressHook recoveryProgressHook = nullptr;
RecoveryTimings recoveryTimings = {0, 0, 0};

namespace {
// The creator packet's text: who made the set.
constexpr char kCreator[] = "VELK - Tresmal Ver 1.1";
constexpr DWORD kNameBytes = 4 * kPathSize;
constexpr DWORD kReadPiece = 1u << 20;
constexpr DWORD kHashed = 16384;  // the file description's MD5 of the first 16 KiB
// A slice never larger than this, however large a part.
constexpr unsigned long long kLargestSlice = 1ull << 30;
constexpr char kCannotCreate[] = "Error Creating the Recovery Volume";
constexpr char kCannotWrite[] = "Error Writing the Recovery Volume";

struct Part {
    BYTE id[kMd5Size];
    BYTE md5[kMd5Size];
    BYTE md5Head[kMd5Size];
    unsigned long long length;
    DWORD slices;
    DWORD firstSlice;  // index of its first slice in the set's order (its constants)
    char name[kNameBytes];
};

struct Plan {
    DWORD parts;
    DWORD sliceSize;
    DWORD perPart;      // slices of a full part
    DWORD inputSlices;  // of all parts
    DWORD recovery;     // recovery slices, one per volume
    DWORD covered;      // parts that may be lost
};

Plan plan;
Part* parts = nullptr;
BYTE* sliceSums = nullptr;  // MD5 and CRC-32 of each slice, in part order
BYTE* meta = nullptr;       // main, file description, slice checksum and creator packets
DWORD metaSize = 0;
BYTE setId[kMd5Size];
unsigned long long workDone = 0;
unsigned long long workTotal = 0;
bool sessionEnded = false;

double Milliseconds() {
    LARGE_INTEGER frequency, now;
    if (!QueryPerformanceFrequency(&frequency) || !QueryPerformanceCounter(&now)) {
        return GetTickCount();
    }
    return static_cast<double>(now.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

unsigned long long PartOffset(DWORD part) {
    return static_cast<unsigned long long>(part) * appState.splitSize;
}

unsigned long long PartLength(DWORD part) {
    unsigned long long offset = PartOffset(part);
    unsigned long long left = appState.fileSize - offset;
    return left < appState.splitSize ? left : appState.splitSize;
}

DWORD SlicesOf(unsigned long long length, DWORD sliceSize) {
    return static_cast<DWORD>((length + sliceSize - 1) / sliceSize);
}

bool Report(unsigned long long done) {
    if (sessionEnded) return StopAsSessionEnds();
    bool goOn = recoveryProgressHook == nullptr || recoveryProgressHook(done, workTotal);
    // The session may have ended while the hook let the window's messages through.
    if (sessionEnded) return StopAsSessionEnds();
    return goOn || StopAsCancelled();
}

DWORD MetaSizeFor(DWORD slicesPerPart, DWORD sliceSize) {
    unsigned long long size = kPacketHeaderSize + 12 + 16ull * plan.parts;
    for (DWORD p = 0; p < plan.parts; ++p) {
        size += kPacketHeaderSize + 56 + PadTo4(static_cast<DWORD>(std::strlen(parts[p].name)));
        DWORD slices = p + 1 < plan.parts ? slicesPerPart : SlicesOf(PartLength(p), sliceSize);
        size += kPacketHeaderSize + 16 + kSliceEntrySize * static_cast<unsigned long long>(slices);
    }
    size += kPacketHeaderSize + PadTo4(sizeof kCreator - 1);
    return size > 0x7FFFFFFFu ? 0 : static_cast<DWORD>(size);
}

unsigned long long RoundUp(unsigned long long bytes, DWORD unit) {
    return unit == 0 ? bytes : (bytes + unit - 1) / unit * unit;
}

// Slices of a fraction of a part where a recovery file must fit on one disk of
// the removable drive: one slice of recovery data and the set's description.
bool MakePlan(DWORD losses, bool removable, unsigned long long diskBytes, DWORD cluster) {
    plan.parts = appState.partCount;
    unsigned long long longest = PartLength(0);
    if (plan.parts == 0 || longest == 0) return false;
    for (DWORD m = static_cast<DWORD>((longest + kLargestSlice - 1) / kLargestSlice);; ++m) {
        unsigned long long size = (longest + m - 1) / m;
        DWORD slice = static_cast<DWORD>((size + 3) & ~3ull);
        unsigned long long total = static_cast<unsigned long long>(plan.parts - 1) * m +
                                   SlicesOf(PartLength(plan.parts - 1), slice);
        if (total > kMaxInputSlices || slice < 4) return false;
        DWORD metaBytes = MetaSizeFor(m, slice);
        if (metaBytes == 0) return false;
        unsigned long long volume = kPacketHeaderSize + 4ull + slice + metaBytes;
        if (!removable || RoundUp(volume, cluster) <= diskBytes) {
            if (removable && RoundUp(metaBytes, cluster) > diskBytes) return false;
            plan.sliceSize = slice;
            plan.perPart = m;
            plan.inputSlices = static_cast<DWORD>(total);
            plan.covered = losses < plan.parts ? losses : plan.parts;
            unsigned long long recovery = static_cast<unsigned long long>(plan.covered) * m;
            plan.recovery = static_cast<DWORD>(recovery < total ? recovery : total);
            metaSize = metaBytes;
            return true;
        }
    }
}

// The checksums of every part and slice, read from the source in order. The MD5s
// take each piece on a second thread while the next is read into the other buffer
// and its CRC-32 taken; the feed is waited for before an MD5 fed by it is finished.
bool TakeChecksums(HANDLE source, BYTE* buffer, BYTE* spare) {
    static const BYTE zeros[4096] = {};
    // Declared before the feed, so that they outlive the piece it may still be adding.
    Md5 whole;
    Md5 head;
    Md5 sliceMd5;
    Md5Feed feed;
    BYTE* buffers[2] = {buffer, spare};
    int next = 0;
    DWORD slice = 0;
    for (DWORD p = 0; p < plan.parts; ++p) {
        Part& part = parts[p];
        part.length = PartLength(p);
        part.slices = SlicesOf(part.length, plan.sliceSize);
        if (!feed.Wait() || !whole.Start() || !head.Start()) return false;
        unsigned long long at = 0;
        // A part that is one slice without padding has the slice's MD5: hashed once.
        bool sameAsWhole = part.slices == 1 && part.length == plan.sliceSize;
        for (DWORD s = 0; s < part.slices; ++s, ++slice) {
            DWORD crc = 0;
            if (!sameAsWhole && !sliceMd5.Start()) return false;
            unsigned long long end = std::min<unsigned long long>(at + plan.sliceSize, part.length);
            while (at < end) {
                DWORD piece = static_cast<DWORD>(std::min<unsigned long long>(end - at, kReadPiece));
                BYTE* bytes = buffers[next];
                next ^= 1;
                if (!ReadAt(source, PartOffset(p) + at, bytes, piece)) return false;
                if (at < kHashed) {
                    DWORD headPiece = static_cast<DWORD>(std::min<unsigned long long>(piece, kHashed - at));
                    if (!head.Add(bytes, headPiece)) return false;
                }
                feed.Add(&whole, sameAsWhole ? nullptr : &sliceMd5, bytes, piece);
                crc = Crc32(crc, bytes, piece);
                at += piece;
                workDone += piece;
                if (!Report(workDone)) return false;
            }
            if (!feed.Wait()) return false;
            // A slice that ends with its part counts as padded with zeros.
            DWORD padding = static_cast<DWORD>(static_cast<unsigned long long>(s + 1) * plan.sliceSize - at);
            while (padding != 0) {
                DWORD piece = padding < sizeof zeros ? padding : sizeof zeros;
                if (!sliceMd5.Add(zeros, piece)) return false;
                crc = Crc32(crc, zeros, piece);
                padding -= piece;
            }
            BYTE* entry = sliceSums + static_cast<SIZE_T>(slice) * kSliceEntrySize;
            BYTE digest[kMd5Size];
            if (!sameAsWhole && !sliceMd5.Finish(digest)) return false;
            if (!sameAsWhole) std::memcpy(entry, digest, kMd5Size);
            PutU32(entry + kMd5Size, crc);
        }
        if (!feed.Wait() || !whole.Finish(part.md5) || !head.Finish(part.md5Head)) return false;
        if (sameAsWhole) std::memcpy(sliceSums + static_cast<SIZE_T>(slice - 1) * kSliceEntrySize, part.md5, kMd5Size);
        // The file's id: the MD5 of its first 16 KiB, its length and its name.
        BYTE idSource[kMd5Size + 8 + kNameBytes];
        DWORD nameLength = static_cast<DWORD>(std::strlen(part.name));
        std::memcpy(idSource, part.md5Head, kMd5Size);
        PutU64(idSource + kMd5Size, part.length);
        std::memcpy(idSource + kMd5Size + 8, part.name, nameLength);
        if (!Md5Of(idSource, kMd5Size + 8 + nameLength, part.id)) return false;
    }
    return true;
}

// The set's description in packets: main, then each part's file description and
// slice checksums in the main packet's order, then the creator.
bool BuildMeta(DWORD* order) {
    meta = static_cast<BYTE*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, metaSize));
    if (meta == nullptr) return false;
    for (DWORD p = 0; p < plan.parts; ++p) order[p] = p;
    // The main packet lists the ids in ascending order, as 16-byte numbers; the
    // slices take their constants in that order.
    std::sort(order, order + plan.parts, [](DWORD a, DWORD b) {
        return std::memcmp(parts[a].id, parts[b].id, kMd5Size) < 0;
    });
    DWORD slice = 0;
    for (DWORD i = 0; i < plan.parts; ++i) {
        parts[order[i]].firstSlice = slice;
        slice += parts[order[i]].slices;
    }
    BYTE* main = meta;
    BYTE* body = main + kPacketHeaderSize;
    PutU64(body, plan.sliceSize);
    PutU32(body + 8, plan.parts);
    for (DWORD i = 0; i < plan.parts; ++i) std::memcpy(body + 12 + 16 * i, parts[order[i]].id, 16);
    DWORD mainBody = 12 + 16 * plan.parts;
    if (!Md5Of(body, mainBody, setId) || !SealPacket(main, mainBody, setId, kMainType)) return false;
    BYTE* at = body + mainBody;
    // Slice checksums are kept in part order: where each part's entries begin.
    for (DWORD i = 0; i < plan.parts; ++i) {
        const Part& part = parts[order[i]];
        DWORD nameLength = static_cast<DWORD>(std::strlen(part.name));
        BYTE* desc = at + kPacketHeaderSize;
        std::memcpy(desc, part.id, 16);
        std::memcpy(desc + 16, part.md5, 16);
        std::memcpy(desc + 32, part.md5Head, 16);
        PutU64(desc + 48, part.length);
        std::memcpy(desc + 56, part.name, nameLength);
        DWORD descBody = 56 + PadTo4(nameLength);
        if (!SealPacket(at, descBody, setId, kFileDescType)) return false;
        at += kPacketHeaderSize + descBody;
    }
    DWORD partSlice = 0;
    DWORD* firstInPartOrder = order + plan.parts;  // scratch: first slice of each part by number
    for (DWORD p = 0; p < plan.parts; ++p) {
        firstInPartOrder[p] = partSlice;
        partSlice += parts[p].slices;
    }
    for (DWORD i = 0; i < plan.parts; ++i) {
        const Part& part = parts[order[i]];
        BYTE* ifsc = at + kPacketHeaderSize;
        std::memcpy(ifsc, part.id, 16);
        std::memcpy(ifsc + 16, sliceSums + static_cast<SIZE_T>(firstInPartOrder[order[i]]) * kSliceEntrySize,
                    part.slices * kSliceEntrySize);
        DWORD ifscBody = 16 + part.slices * kSliceEntrySize;
        if (!SealPacket(at, ifscBody, setId, kSliceChecksumType)) return false;
        at += kPacketHeaderSize + ifscBody;
    }
    std::memcpy(at + kPacketHeaderSize, kCreator, sizeof kCreator - 1);
    if (!SealPacket(at, PadTo4(sizeof kCreator - 1), setId, kCreatorType)) return false;
    return at + kPacketHeaderSize + PadTo4(sizeof kCreator - 1) == meta + metaSize;
}

// Volume files while the set is made: in the destination, or for a removable
// drive in the temporary folder until each is copied onto a disk.
struct Volume {
    char path[kPathSize];
    HANDLE file;
};
Volume* volumes = nullptr;
SliceInput* inputs = nullptr;
SliceOutput* outputs = nullptr;

GfWord* constants = nullptr;  // of each input slice, in the set's order

// Recovery slice r holds the sum of each input slice times its constant to the r-th power.
GfWord EncodeCoefficient(const void*, DWORD output, DWORD input) {
    return GfPower(constants[input], output);
}

bool OnSlicesProgress(unsigned long long done) { return Report(workDone + done); }

unsigned long long VolumeSize() { return kPacketHeaderSize + 4ull + plan.sliceSize + metaSize; }

bool CreateVolumes(bool removable) {
    char temp[kPathSize];
    if (removable) {
        DWORD length = GetTempPathA(sizeof temp, temp);
        if (length == 0 || length >= sizeof temp) return false;
    }
    for (DWORD r = 0; r < plan.recovery; ++r) {
        Volume& volume = volumes[r];
        bool named = removable ? GetTempFileNameA(temp, "vlk", 0, volume.path) != 0
                               : FormatVolumePath(volume.path, sizeof volume.path, appState.destDir,
                                                  PathFindFileNameA(appState.sourcePath), r, 1,
                                                  plan.recovery);
        if (!named) return false;
        if (!removable && !RoomAtDestination(static_cast<DWORD>(VolumeSize()))) return false;
        volume.file = CreateSized(volume.path, VolumeSize());
        if (volume.file == INVALID_HANDLE_VALUE) return StopAsFailed(kCannotCreate, volume.path);
        if (!WriteAt(volume.file, kPacketHeaderSize + 4ull + plan.sliceSize, meta, metaSize)) {
            return StopAsFailed(kCannotWrite, volume.path);
        }
    }
    return true;
}

// The recovery packet's header, once its data is in the file: its MD5 covers
// the set id, type, exponent and data, read back in pieces.
bool SealVolume(Volume& volume, DWORD exponent, BYTE* buffer) {
    BYTE head[kPacketHeaderSize + 4] = {};
    std::memcpy(head + 32, setId, kMd5Size);
    std::memcpy(head + 48, kRecoverySliceType, 16);
    PutU32(head + kPacketHeaderSize, exponent);
    Md5 md5;
    if (!md5.Start() || !md5.Add(head + 32, 36)) return false;
    for (DWORD at = 0; at < plan.sliceSize;) {
        DWORD piece = plan.sliceSize - at < kReadPiece ? plan.sliceSize - at : kReadPiece;
        if (!ReadAt(volume.file, kPacketHeaderSize + 4ull + at, buffer, piece) ||
            !md5.Add(buffer, piece)) {
            return false;
        }
        at += piece;
    }
    BYTE digest[kMd5Size];
    if (!md5.Finish(digest)) return false;
    PutPacketHeader(head, kPacketHeaderSize + 4ull + plan.sliceSize, digest, setId,
                    kRecoverySliceType);
    return WriteAt(volume.file, 0, head, sizeof head);
}

// Room on the disk in the drive, counting the disks the user is asked for.
bool MakeRoom(unsigned long long bytes) {
    unsigned long long freeBytes = 0, totalBytes = 0;
    DWORD cluster = 0;
    bool removable = false;
    if (DestinationSpace(&freeBytes, &totalBytes, &cluster, &removable) && removable &&
        freeBytes < bytes) {
        ++lastRecoverySet.extraDisks;
    }
    return RoomAtDestination(static_cast<DWORD>(bytes));
}

// A volume made in the temporary folder, copied onto the disk in the drive.
bool CopyOut(Volume& volume, DWORD exponent, BYTE* buffer) {
    char path[kPathSize];
    if (!FormatVolumePath(path, sizeof path, appState.destDir, PathFindFileNameA(appState.sourcePath),
                          exponent, 1, plan.recovery) ||
        !MakeRoom(VolumeSize())) {
        return false;
    }
    HANDLE out = CreateSized(path, VolumeSize());
    if (out == INVALID_HANDLE_VALUE) return StopAsFailed(kCannotCreate, path);
    bool ok = true;
    for (unsigned long long at = 0; ok && at < VolumeSize(); at += kReadPiece) {
        DWORD piece = static_cast<DWORD>(std::min<unsigned long long>(VolumeSize() - at, kReadPiece));
        ok = ReadAt(volume.file, at, buffer, piece) && WriteAt(out, at, buffer, piece);
    }
    CloseHandle(out);
    if (!ok) DeleteFileA(path);
    return ok || StopAsFailed(kCannotWrite, path);
}

bool WriteIndex() {
    char path[kPathSize];
    if (!FormatIndexPath(path, sizeof path, appState.destDir, PathFindFileNameA(appState.sourcePath)) ||
        !MakeRoom(metaSize)) {
        return false;
    }
    HANDLE file = CreateSized(path, metaSize);
    if (file == INVALID_HANDLE_VALUE) return StopAsFailed(kCannotCreate, path);
    bool ok = WriteAt(file, 0, meta, metaSize);
    CloseHandle(file);
    return ok || StopAsFailed(kCannotWrite, path);
}

void CloseVolumes(bool removeTemporary) {
    if (volumes == nullptr) return;
    for (DWORD r = 0; r < plan.recovery; ++r) {
        if (volumes[r].file != INVALID_HANDLE_VALUE) CloseHandle(volumes[r].file);
        volumes[r].file = INVALID_HANDLE_VALUE;
        if (removeTemporary && volumes[r].path[0] != '\0') DeleteFileA(volumes[r].path);
    }
}

template <typename T>
T* Table(unsigned long long count) {
    if (count == 0 || count > 0x7FFFFFFFu / sizeof(T)) return nullptr;
    return static_cast<T*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, static_cast<SIZE_T>(count * sizeof(T))));
}

void Free(void* memory) {
    if (memory != nullptr) HeapFree(GetProcessHeap(), 0, memory);
}

bool MakeSet(DWORD losses, HANDLE source) {
    const char* name = PathFindFileNameA(appState.sourcePath);
    unsigned long long freeBytes = 0, diskBytes = 0;
    DWORD cluster = 0;
    bool removable = false;
    if (!DestinationSpace(&freeBytes, &diskBytes, &cluster, &removable)) return false;
    lastRecoverySet.removable = removable;
    // The format gives every part a slice of its own, and has constants for 32768.
    if (appState.partCount > kMaxInputSlices) {
        MessageBoxA(nullptr, "The recovery volumes cannot be made for so many parts",
                    kWindowTitle, MB_OK | MB_ICONERROR);
        return StopAsTold();
    }
    parts = Table<Part>(appState.partCount);
    if (parts == nullptr) return false;
    for (DWORD p = 0; p < appState.partCount; ++p) {
        if (!Utf8PartName(name, p + 1, parts[p].name, kNameBytes)) return false;
    }
    if (!MakePlan(losses, removable, diskBytes, cluster)) {
        MessageBoxA(nullptr, "The recovery volumes cannot be made for so many parts",
                    kWindowTitle, MB_OK | MB_ICONERROR);
        return StopAsTold();
    }
    sliceSums = Table<BYTE>(static_cast<unsigned long long>(plan.inputSlices) * kSliceEntrySize);
    DWORD* order = Table<DWORD>(2ull * plan.parts);
    BYTE* buffer = Table<BYTE>(kReadPiece);
    BYTE* spare = Table<BYTE>(kReadPiece);
    volumes = Table<Volume>(plan.recovery);
    inputs = Table<SliceInput>(plan.inputSlices);
    outputs = Table<SliceOutput>(plan.recovery);
    constants = Table<GfWord>(plan.inputSlices);
    bool ok = constants != nullptr && sliceSums != nullptr && order != nullptr && buffer != nullptr &&
              spare != nullptr && volumes != nullptr &&
              inputs != nullptr && outputs != nullptr;
    if (ok) {
        for (DWORD r = 0; r < plan.recovery; ++r) volumes[r].file = INVALID_HANDLE_VALUE;
        workTotal = 2 * appState.fileSize + 2ull * plan.recovery * plan.sliceSize;
        double start = Milliseconds();
        ok = TakeChecksums(source, buffer, spare);
        double summed = Milliseconds();
        ok = ok && BuildMeta(order) && CreateVolumes(removable);
        recoveryTimings.checksums = summed - start;
        recoveryTimings.writing = Milliseconds() - summed;
    }
    double computing = Milliseconds();
    if (ok) {
        // Each slice's place in the source, in the set's order.
        for (DWORD p = 0; p < plan.parts; ++p) {
            for (DWORD s = 0; s < parts[p].slices; ++s) {
                DWORD index = parts[p].firstSlice + s;
                unsigned long long from = static_cast<unsigned long long>(s) * plan.sliceSize;
                unsigned long long length = std::min<unsigned long long>(parts[p].length - from, plan.sliceSize);
                inputs[index] = SliceInput{source, PartOffset(p) + from, length};
            }
        }
        for (DWORD i = 0; i < plan.inputSlices; ++i) constants[i] = GfInputConstant(i);
        for (DWORD r = 0; r < plan.recovery; ++r) {
            outputs[r] = SliceOutput{volumes[r].file, kPacketHeaderSize + 4ull, plan.sliceSize};
        }
        ok = ComputeSlices(inputs, plan.inputSlices, outputs, plan.recovery, plan.sliceSize,
                           EncodeCoefficient, nullptr, OnSlicesProgress);
        workDone += appState.fileSize;
    }
    double written = Milliseconds();
    recoveryTimings.computation = written - computing;
    for (DWORD r = 0; ok && r < plan.recovery; ++r) ok = SealVolume(volumes[r], r, buffer);
    if (ok) ok = WriteIndex();
    for (DWORD r = 0; ok && removable && r < plan.recovery; ++r) {
        ok = CopyOut(volumes[r], r, buffer) && Report(workDone += plan.sliceSize);
    }
    CloseVolumes(removable || !ok);
    recoveryTimings.writing += Milliseconds() - written;
    Free(order);
    Free(buffer);
    Free(spare);
    return ok;
}
}  // namespace

bool WriteRecoverySet(DWORD losses) {
    lastRecoverySet = RecoverySetReport{0, 0, 0, false};
    sessionEnded = false;
    if (losses == 0) return true;
    AddBackslash(appState.destDir);
    HANDLE source = OpenForReading(appState.sourcePath);
    workDone = 0;
    plan = Plan{};
    bool ok = source != INVALID_HANDLE_VALUE && MakeSet(losses, source);
    if (source != INVALID_HANDLE_VALUE) CloseHandle(source);
    if (ok) {
        lastRecoverySet.partsCovered = plan.covered;
        lastRecoverySet.volumes = plan.recovery;
    } else {
        RemoveRecoveryFiles(appState.destDir, PathFindFileNameA(appState.sourcePath));
        lastRecoverySet = RecoverySetReport{0, 0, 0, false};
    }
    for (void* table : {static_cast<void*>(parts), static_cast<void*>(sliceSums),
                        static_cast<void*>(meta), static_cast<void*>(volumes),
                        static_cast<void*>(inputs), static_cast<void*>(outputs),
                        static_cast<void*>(constants)}) {
        Free(table);
    }
    parts = nullptr;
    sliceSums = nullptr;
    meta = nullptr;
    volumes = nullptr;
    inputs = nullptr;
    outputs = nullptr;
    constants = nullptr;
    return ok;
}

void EndRecoveryAsSessionEnds() {
    sessionEnded = true;
    StopAsSessionEnds();
    // The process may end as soon as the caller returns: the volumes under way are
    // closed so that they can go, and no file of a partial set stays.
    CloseVolumes(true);
    if (volumes != nullptr || meta != nullptr) {
        RemoveRecoveryFiles(appState.destDir, PathFindFileNameA(appState.sourcePath));
    }
}
