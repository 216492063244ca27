#include "recovery/recovery_repair.h"

#include <cstring>
#include <initializer_list>

#include "core/app_state.h"
#include "recovery/checksums.h"
#include "recovery/file_io.h"
#include "recovery/galois.h"
#include "recovery/par2_packets.h"
#include "recovery/slice_engine.h"
#include "split/part_digests.h"
#include "split/recovery_names.h"

RepairProgressHook repairProgressHook = nullptr;

namespace {
constexpr DWORD kNameBytes = 4 * kPathSize;
constexpr DWORD kMaxSetFiles = 4096;
// Packets other than recovery slices are read whole: none of a valid set is larger.
constexpr unsigned long long kLargestDescription = 4u << 20;
constexpr DWORD kPiece = 1u << 20;
// The repair's own bounds on work and memory: the decoding matrix and its use.
constexpr unsigned long long kMostCoefficients = 16u << 20;
constexpr unsigned long long kMostSolveSteps = 1ull << 29;

struct SetFile {
    char path[kPathSize];
    HANDLE handle;
    unsigned long long size;
};

struct FileEntry {
    BYTE id[kMd5Size];
    BYTE md5[kMd5Size];
    unsigned long long length;
    DWORD part;        // its number in the name, from 1
    DWORD slices;
    DWORD firstSlice;  // in the set's order
    BYTE* sums;        // its slices' MD5 and CRC-32, from the slice checksum packet
    bool described;
    HANDLE handle;     // the part as it is, or INVALID_HANDLE_VALUE
    unsigned long long base;  // where the part begins in handle and in rebuilt
    bool bad;
    char temporary[kPathSize];
    HANDLE rebuilt;
};

struct Spare {
    DWORD exponent;
    DWORD file;
    unsigned long long dataOffset;
};

// Everything the repair holds, freed in one place.
struct Work {
    SetFile* files = nullptr;
    DWORD fileCount = 0;
    bool haveSet = false;
    BYTE setId[kMd5Size];
    DWORD sliceSize = 0;
    FileEntry* entries = nullptr;
    DWORD entryCount = 0;
    DWORD slices = 0;
    Spare* spares = nullptr;
    DWORD spareCount = 0;
    bool* lost = nullptr;  // per slice in the set's order
    BYTE* buffer = nullptr;
    BYTE* packet = nullptr;
    BYTE* scan = nullptr;
    GfWord* matrix = nullptr;  // lost x (slices) coefficients
    SliceInput* inputs = nullptr;
    SliceOutput* outputs = nullptr;
    DWORD* lostList = nullptr;
    DWORD* sourceOf = nullptr;  // for each input of the engine: slice index, or spare index + slices
    // Parts read from (and rebuilt into) one joined file instead of their own files.
    HANDLE joined = INVALID_HANDLE_VALUE;
    unsigned long long partLength = 0;
};

template <typename T>
T* Table(unsigned long long count) {
    if (count == 0 || count > 0x7FFFFFFFu / sizeof(T)) return nullptr;
    return static_cast<T*>(
        HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, static_cast<SIZE_T>(count * sizeof(T))));
}

void Free(void* memory) {
    if (memory != nullptr) HeapFree(GetProcessHeap(), 0, memory);
}

void Release(Work& w) {
    for (DWORD i = 0; w.files != nullptr && i < w.fileCount; ++i) {
        if (w.files[i].handle != INVALID_HANDLE_VALUE) CloseHandle(w.files[i].handle);
    }
    for (DWORD e = 0; w.entries != nullptr && e < w.entryCount; ++e) {
        FileEntry& entry = w.entries[e];
        if (entry.handle != INVALID_HANDLE_VALUE && entry.handle != nullptr) CloseHandle(entry.handle);
        if (entry.rebuilt != INVALID_HANDLE_VALUE && entry.rebuilt != nullptr) CloseHandle(entry.rebuilt);
        if (entry.temporary[0] != '\0') DeleteFileA(entry.temporary);
        Free(entry.sums);
    }
    for (void* t : {static_cast<void*>(w.files), static_cast<void*>(w.entries),
                    static_cast<void*>(w.spares), static_cast<void*>(w.lost),
                    static_cast<void*>(w.buffer), static_cast<void*>(w.packet),
                    static_cast<void*>(w.scan),
                    static_cast<void*>(w.matrix), static_cast<void*>(w.inputs),
                    static_cast<void*>(w.outputs), static_cast<void*>(w.lostList),
                    static_cast<void*>(w.sourceOf)}) {
        Free(t);
    }
}

Work* current = nullptr;  // the repair under way, for the session's end
bool sessionEnded = false;
bool stopped = false;
unsigned long long workDone = 0;
unsigned long long workTotal = 0;

bool Report(unsigned long long done) {
    workDone = done;
    if (!stopped && repairProgressHook != nullptr && !repairProgressHook(workDone, workTotal)) {
        stopped = true;
    }
    return !stopped && !sessionEnded;
}

bool OnSlicesDone(unsigned long long done) { return Report(done); }

bool FindSetFiles(Work& w, const char* folder, const char* name) {
    w.files = Table<SetFile>(kMaxSetFiles);
    if (w.files == nullptr) return false;
    char pattern[kPathSize];
    if (!FormatText(pattern, sizeof pattern, "%s%s.*par2", folder, name)) return false;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(pattern, &found);
    if (search == INVALID_HANDLE_VALUE) return true;
    do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
            !IsRecoveryFileName(found.cFileName, name) || w.fileCount == kMaxSetFiles) {
            continue;
        }
        SetFile& file = w.files[w.fileCount];
        if (!FormatText(file.path, sizeof file.path, "%s%s", folder, found.cFileName)) continue;
        file.handle = OpenForReading(file.path);
        if (file.handle == INVALID_HANDLE_VALUE) continue;
        if (!SizeOf(file.handle, &file.size)) {
            CloseHandle(file.handle);
            continue;
        }
        ++w.fileCount;
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return true;
}

// A packet's MD5 checked by reading its bytes from set id to end in pieces.
bool PacketIntact(Work& w, const SetFile& file, unsigned long long at, unsigned long long length,
                  const BYTE* header) {
    Md5 md5;
    if (!md5.Start()) return false;
    for (unsigned long long done = 32; done < length;) {
        DWORD piece = length - done < kPiece ? static_cast<DWORD>(length - done) : kPiece;
        if (!ReadAt(file.handle, at + done, w.buffer, piece) || !md5.Add(w.buffer, piece)) return false;
        done += piece;
    }
    BYTE digest[kMd5Size];
    return md5.Finish(digest) && std::memcmp(digest, header + 16, kMd5Size) == 0;
}

using PacketVisitor = void (*)(Work& w, DWORD file, unsigned long long at, const BYTE* header,
                               unsigned long long length);

// Walks every file for packets: a header at each 4-byte step, taken only when its
// length stays inside the file. Damaged stretches are stepped over, read a piece
// at a time however long they are.
void ScanPackets(Work& w, PacketVisitor visit) {
    for (DWORD f = 0; f < w.fileCount; ++f) {
        const SetFile& file = w.files[f];
        unsigned long long at = 0;
        while (file.size >= kPacketHeaderSize && at <= file.size - kPacketHeaderSize) {
            DWORD got = file.size - at < kPiece ? static_cast<DWORD>(file.size - at) : kPiece;
            if (!ReadAt(file.handle, at, w.scan, got)) break;
            DWORD i = 0;
            unsigned long long length = 0;
            for (; i + kPacketHeaderSize <= got; i += 4) {
                length = GetU64(w.scan + i + 8);
                if (std::memcmp(w.scan + i, kPacketMagic, 8) == 0 && length >= kPacketHeaderSize &&
                    length % 4 == 0 && length <= file.size - at - i) {
                    break;
                }
            }
            if (i + kPacketHeaderSize > got) {
                at += i;  // the steps not yet looked at begin the next piece
                continue;
            }
            visit(w, f, at + i, w.scan + i, length);
            at += i + length;
        }
    }
}

bool IsType(const BYTE* header, const char* type) { return std::memcmp(header + 48, type, 16) == 0; }

// Reads a small packet whole into w.packet when it is intact.
const BYTE* SmallPacket(Work& w, DWORD f, unsigned long long at, unsigned long long length,
                        const BYTE* header) {
    if (length > kLargestDescription || !PacketIntact(w, w.files[f], at, length, header) ||
        !ReadAt(w.files[f].handle, at, w.packet, static_cast<DWORD>(length))) {
        return nullptr;
    }
    return w.packet;
}

// The set: the first intact main packet, the index file's before the volumes'.
void VisitMain(Work& w, DWORD f, unsigned long long at, const BYTE* header, unsigned long long length) {
    if (w.haveSet || !IsType(header, kMainType) || length < kPacketHeaderSize + 12) return;
    const BYTE* packet = SmallPacket(w, f, at, length, header);
    if (packet == nullptr) return;
    const BYTE* body = packet + kPacketHeaderSize;
    unsigned long long sliceSize = GetU64(body);
    DWORD count = GetU32(body + 8);
    if (sliceSize < 4 || sliceSize % 4 != 0 || sliceSize > 0x7FFFFFFCu || count == 0 ||
        count > kMaxInputSlices || 12 + 16ull * count > length - kPacketHeaderSize) {
        return;
    }
    w.entries = Table<FileEntry>(count);
    if (w.entries == nullptr) return;
    w.entryCount = count;
    for (DWORD i = 0; i < count; ++i) {
        std::memcpy(w.entries[i].id, body + 12 + 16 * i, kMd5Size);
        w.entries[i].handle = INVALID_HANDLE_VALUE;
        w.entries[i].rebuilt = INVALID_HANDLE_VALUE;
    }
    std::memcpy(w.setId, header + 32, kMd5Size);
    w.sliceSize = static_cast<DWORD>(sliceSize);
    w.haveSet = true;
}

FileEntry* EntryOf(Work& w, const BYTE* id) {
    for (DWORD i = 0; i < w.entryCount; ++i) {
        if (std::memcmp(w.entries[i].id, id, kMd5Size) == 0) return &w.entries[i];
    }
    return nullptr;
}

const char* partName = nullptr;  // the source's name during a repair

// The part number a description's name gives: "<name>.NNN" as the writer spells it.
DWORD PartNumberOf(const BYTE* text, DWORD length) {
    char expected[kNameBytes];
    DWORD number = 0;
    DWORD digitsAt = length;
    while (digitsAt > 0 && text[digitsAt - 1] >= '0' && text[digitsAt - 1] <= '9') --digitsAt;
    if (digitsAt == length || length - digitsAt > 9) return 0;
    for (DWORD i = digitsAt; i < length; ++i) number = number * 10 + (text[i] - '0');
    if (number == 0 || !Utf8PartName(partName, number, expected, sizeof expected) ||
        std::strlen(expected) != length || std::memcmp(expected, text, length) != 0) {
        return 0;
    }
    return number;
}

void VisitDescription(Work& w, DWORD f, unsigned long long at, const BYTE* header,
                      unsigned long long length) {
    if (std::memcmp(header + 32, w.setId, kMd5Size) != 0) return;
    bool desc = IsType(header, kFileDescType) && length >= kPacketHeaderSize + 56;
    bool sums = IsType(header, kSliceChecksumType) && length >= kPacketHeaderSize + 16;
    if (!desc && !sums) return;
    FileEntry* entry = nullptr;
    BYTE id[kMd5Size];
    if (!ReadAt(w.files[f].handle, at + kPacketHeaderSize, id, kMd5Size) ||
        (entry = EntryOf(w, id)) == nullptr || (desc && entry->described) ||
        (sums && entry->sums != nullptr)) {
        return;
    }
    const BYTE* packet = SmallPacket(w, f, at, length, header);
    if (packet == nullptr) return;
    const BYTE* body = packet + kPacketHeaderSize;
    DWORD bodyLength = static_cast<DWORD>(length - kPacketHeaderSize);
    if (desc) {
        DWORD nameLength = bodyLength - 56;
        while (nameLength > 0 && body[56 + nameLength - 1] == 0) --nameLength;
        entry->part = PartNumberOf(body + 56, nameLength);
        std::memcpy(entry->md5, body + 16, kMd5Size);
        entry->length = GetU64(body + 48);
        entry->described = entry->part != 0;
        return;
    }
    if ((bodyLength - 16) % kSliceEntrySize != 0) return;
    DWORD count = (bodyLength - 16) / kSliceEntrySize;
    if (count == 0 || count > kMaxInputSlices) return;
    entry->sums = Table<BYTE>(static_cast<unsigned long long>(count) * kSliceEntrySize);
    if (entry->sums == nullptr) return;
    std::memcpy(entry->sums, body + 16, count * kSliceEntrySize);
    entry->slices = count;
}

void VisitRecovery(Work& w, DWORD f, unsigned long long at, const BYTE* header,
                   unsigned long long length) {
    if (std::memcmp(header + 32, w.setId, kMd5Size) != 0 || !IsType(header, kRecoverySliceType) ||
        length != kPacketHeaderSize + 4ull + w.sliceSize || w.spareCount >= kMaxExponent) {
        return;
    }
    BYTE exponentBytes[4];
    if (!ReadAt(w.files[f].handle, at + kPacketHeaderSize, exponentBytes, 4)) return;
    DWORD exponent = GetU32(exponentBytes);
    if (exponent > kMaxExponent) return;
    for (DWORD s = 0; s < w.spareCount; ++s) {
        if (w.spares[s].exponent == exponent) return;
    }
    if (!PacketIntact(w, w.files[f], at, length, header)) return;
    w.spares[w.spareCount++] = Spare{exponent, f, at + kPacketHeaderSize + 4};
}

// Every file of the set described, with slice counts that agree with its length.
bool SetComplete(Work& w) {
    DWORD slice = 0;
    for (DWORD i = 0; i < w.entryCount; ++i) {
        FileEntry& e = w.entries[i];
        if (!e.described || e.sums == nullptr ||
            (e.length + w.sliceSize - 1) / w.sliceSize != e.slices) {
            return false;
        }
        for (DWORD j = 0; j < i; ++j) {
            if (w.entries[j].part == e.part) return false;
        }
        e.firstSlice = slice;
        slice += e.slices;
        if (slice > kMaxInputSlices) return false;
    }
    w.slices = slice;
    return true;
}

// Each slice of the part as it is against its MD5; a missing part or one of
// another length is bad as a whole part, its slices that match still usable.
bool CheckPart(Work& w, const char* folder, FileEntry& e) {
    char path[kPathSize];
    unsigned long long size = 0;
    if (w.joined != INVALID_HANDLE_VALUE) {
        // In the joined file every part but the last is partLength long; what is
        // beyond the file's end is missing.
        e.base = (e.part - 1ull) * w.partLength;
        if (!SizeOf(w.joined, &size) ||
            !DuplicateHandle(GetCurrentProcess(), w.joined, GetCurrentProcess(), &e.handle, 0,
                             FALSE, DUPLICATE_SAME_ACCESS)) {
            e.handle = INVALID_HANDLE_VALUE;
            return false;
        }
        size = size > e.base ? size - e.base : 0;
        if (size > e.length) size = e.length;
    } else if (FormatText(path, sizeof path, "%s%s.%03lu", folder, partName,
                          static_cast<unsigned long>(e.part))) {
        e.handle = OpenForReading(path);
    } else {
        return false;
    }
    if (e.handle == INVALID_HANDLE_VALUE ||
        (w.joined == INVALID_HANDLE_VALUE && !SizeOf(e.handle, &size))) {
        e.bad = true;
        for (DWORD s = 0; s < e.slices; ++s) w.lost[e.firstSlice + s] = true;
        return true;
    }
    e.bad = size != e.length;
    for (DWORD s = 0; s < e.slices; ++s) {
        unsigned long long from = static_cast<unsigned long long>(s) * w.sliceSize;
        unsigned long long want = e.length - from < w.sliceSize ? e.length - from : w.sliceSize;
        unsigned long long have = size > from ? (size - from < want ? size - from : want) : 0;
        bool good = have == want;
        Md5 md5;
        good = good && md5.Start();
        for (unsigned long long done = 0; good && done < w.sliceSize;) {
            DWORD piece = w.sliceSize - done < kPiece ? static_cast<DWORD>(w.sliceSize - done) : kPiece;
            DWORD real = done < want ? static_cast<DWORD>(want - done < piece ? want - done : piece) : 0;
            std::memset(w.buffer + real, 0, piece - real);
            good = (real == 0 || ReadAt(e.handle, e.base + from + done, w.buffer, real)) &&
                   md5.Add(w.buffer, piece);
            done += piece;
            if (!Report(workDone + real)) return false;
        }
        BYTE digest[kMd5Size];
        good = good && md5.Finish(digest) &&
               std::memcmp(digest, e.sums + static_cast<SIZE_T>(s) * kSliceEntrySize, kMd5Size) == 0;
        if (!good) {
            w.lost[e.firstSlice + s] = true;
            e.bad = true;
        }
    }
    return true;
}

// Solves for the lost slices from as many spares: w.matrix then holds, for each
// lost slice, its coefficient on every whole slice and on each spare used.
GfWord InputConstant(const GfWord* constants, DWORD slice) { return constants[slice]; }

bool Solve(Work& w, DWORD lostCount, GfWord* constants) {
    DWORD n = lostCount;
    GfWord* a = Table<GfWord>(2ull * n * n);
    if (a == nullptr) return false;
    // [A | I], A[r][j] = constant of lost slice j to the exponent of spare r.
    for (DWORD r = 0; r < n; ++r) {
        for (DWORD j = 0; j < n; ++j) {
            a[r * 2 * n + j] = GfPower(InputConstant(constants, w.lostList[j]), w.spares[r].exponent);
            a[r * 2 * n + n + j] = r == j ? 1 : 0;
        }
    }
    bool ok = true;
    for (DWORD col = 0; ok && col < n; ++col) {
        DWORD pivot = col;
        while (pivot < n && a[pivot * 2 * n + col] == 0) ++pivot;
        if (pivot == n) {
            ok = false;
            break;
        }
        if (pivot != col) {
            for (DWORD k = 0; k < 2 * n; ++k) {
                GfWord t = a[col * 2 * n + k];
                a[col * 2 * n + k] = a[pivot * 2 * n + k];
                a[pivot * 2 * n + k] = t;
            }
        }
        GfWord scale = a[col * 2 * n + col];
        for (DWORD k = 0; k < 2 * n; ++k) a[col * 2 * n + k] = GfDivide(a[col * 2 * n + k], scale);
        for (DWORD r = 0; r < n; ++r) {
            GfWord f = a[r * 2 * n + col];
            if (r == col || f == 0) continue;
            for (DWORD k = 0; k < 2 * n; ++k) a[r * 2 * n + k] ^= GfMultiply(f, a[col * 2 * n + k]);
        }
    }
    // Inverse B = a[.][n..2n). Lost j = sum_r B[j][r] (spare_r + sum_whole c_i^e_r slice_i).
    // Engine inputs: the whole slices, then the spares.
    DWORD whole = w.slices - n;
    for (DWORD j = 0; ok && j < n; ++j) {
        GfWord* row = w.matrix + static_cast<SIZE_T>(j) * (whole + n);
        DWORD column = 0;
        for (DWORD i = 0; i < w.slices; ++i) {
            if (w.lost[i]) continue;
            GfWord sum = 0;
            for (DWORD r = 0; r < n; ++r) {
                sum ^= GfMultiply(a[j * 2 * n + n + r],
                                  GfPower(InputConstant(constants, i), w.spares[r].exponent));
            }
            row[column++] = sum;
        }
        for (DWORD r = 0; r < n; ++r) row[whole + r] = a[j * 2 * n + n + r];
    }
    Free(a);
    return ok;
}

const Work* decoding = nullptr;
GfWord DecodeCoefficient(const void*, DWORD output, DWORD input) {
    DWORD columns = decoding->slices;
    return decoding->matrix[static_cast<SIZE_T>(output) * columns + input];
}

// The whole file read back against the set's MD5 of it.
bool RebuiltMatches(Work& w, FileEntry& e) {
    Md5 md5;
    if (!md5.Start()) return false;
    for (unsigned long long done = 0; done < e.length;) {
        DWORD piece = e.length - done < kPiece ? static_cast<DWORD>(e.length - done) : kPiece;
        if (!ReadAt(e.rebuilt, e.base + done, w.buffer, piece) || !md5.Add(w.buffer, piece)) {
            return false;
        }
        done += piece;
    }
    BYTE digest[kMd5Size];
    return md5.Finish(digest) && std::memcmp(digest, e.md5, kMd5Size) == 0;
}

bool Rebuild(Work& w, const char* folder, RepairReport* report) {
    DWORD n = report->lostSlices;
    DWORD whole = w.slices - n;
    GfWord* constants = Table<GfWord>(w.slices);
    // A part only longer than the set says has no slice lost: it is written afresh.
    w.lostList = Table<DWORD>(n != 0 ? n : 1);
    w.matrix = Table<GfWord>(static_cast<unsigned long long>(n != 0 ? n : 1) * w.slices);
    w.inputs = Table<SliceInput>(w.slices);
    w.outputs = Table<SliceOutput>(n != 0 ? n : 1);
    bool ok = constants != nullptr && w.lostList != nullptr && w.matrix != nullptr &&
              w.inputs != nullptr && w.outputs != nullptr;
    if (!ok) {
        Free(constants);
        return false;
    }
    for (DWORD i = 0; i < w.slices; ++i) constants[i] = GfInputConstant(i);
    DWORD lostAt = 0, wholeAt = 0;
    for (DWORD e = 0; e < w.entryCount; ++e) {
        FileEntry& entry = w.entries[e];
        for (DWORD s = 0; s < entry.slices; ++s) {
            DWORD index = entry.firstSlice + s;
            unsigned long long from = static_cast<unsigned long long>(s) * w.sliceSize;
            unsigned long long length = entry.length - from < w.sliceSize ? entry.length - from : w.sliceSize;
            if (w.lost[index]) {
                w.lostList[lostAt] = index;
                w.outputs[lostAt++] = SliceOutput{nullptr, entry.base + from, length};
            } else {
                w.inputs[wholeAt++] = SliceInput{entry.handle, entry.base + from, length};
            }
        }
    }
    for (DWORD r = 0; r < n; ++r) {
        w.inputs[whole + r] =
            SliceInput{w.files[w.spares[r].file].handle, w.spares[r].dataOffset, w.sliceSize};
    }
    ok = n == 0 || Solve(w, n, constants);
    Free(constants);
    // Each bad part is written aside: its whole slices copied, its lost ones computed.
    // In a joined file, not yet under its name, its lost slices go straight into place.
    for (DWORD e = 0; ok && e < w.entryCount; ++e) {
        FileEntry& entry = w.entries[e];
        if (!entry.bad) continue;
        if (w.joined != INVALID_HANDLE_VALUE) {
            ok = DuplicateHandle(GetCurrentProcess(), w.joined, GetCurrentProcess(), &entry.rebuilt,
                                 0, FALSE, DUPLICATE_SAME_ACCESS) != 0;
            if (!ok) entry.rebuilt = INVALID_HANDLE_VALUE;
            continue;
        }
        ok = GetTempFileNameA(folder, "vlk", 0, entry.temporary) != 0;
        if (!ok) entry.temporary[0] = '\0';
        if (ok) {
            entry.rebuilt = CreateSized(entry.temporary, entry.length);
            ok = entry.rebuilt != INVALID_HANDLE_VALUE;
        }
        for (DWORD s = 0; ok && s < entry.slices; ++s) {
            DWORD index = entry.firstSlice + s;
            unsigned long long from = static_cast<unsigned long long>(s) * w.sliceSize;
            unsigned long long length = entry.length - from < w.sliceSize ? entry.length - from : w.sliceSize;
            if (w.lost[index]) continue;
            for (unsigned long long done = 0; ok && done < length;) {
                DWORD piece = length - done < kPiece ? static_cast<DWORD>(length - done) : kPiece;
                ok = ReadAt(entry.handle, from + done, w.buffer, piece) &&
                     WriteAt(entry.rebuilt, from + done, w.buffer, piece);
                done += piece;
            }
        }
    }
    for (DWORD j = 0; ok && j < n; ++j) {
        DWORD index = w.lostList[j];
        for (DWORD e = 0; e < w.entryCount; ++e) {
            FileEntry& entry = w.entries[e];
            if (index >= entry.firstSlice && index < entry.firstSlice + entry.slices) {
                w.outputs[j].file = entry.rebuilt;
            }
        }
    }
    decoding = &w;
    if (ok) {
        workDone = 0;
        workTotal = static_cast<unsigned long long>(w.slices) * w.sliceSize;
        ok = ComputeSlices(w.inputs, w.slices, w.outputs, n, w.sliceSize, DecodeCoefficient, nullptr,
                           OnSlicesDone);
    }
    decoding = nullptr;
    // Only parts that match the set as a whole replace what is there.
    for (DWORD e = 0; ok && e < w.entryCount; ++e) ok = !w.entries[e].bad || RebuiltMatches(w, w.entries[e]);
    for (DWORD e = 0; ok && e < w.entryCount; ++e) {
        FileEntry& entry = w.entries[e];
        if (!entry.bad) continue;
        if (w.joined != INVALID_HANDLE_VALUE) {
            if (report->rebuiltCount < kRebuiltListed) report->rebuilt[report->rebuiltCount] = entry.part;
            ++report->rebuiltCount;
            continue;
        }
        char path[kPathSize];
        ok = FormatText(path, sizeof path, "%s%s.%03lu", folder, partName,
                        static_cast<unsigned long>(entry.part));
        CloseHandle(entry.rebuilt);
        entry.rebuilt = INVALID_HANDLE_VALUE;
        if (entry.handle != INVALID_HANDLE_VALUE) CloseHandle(entry.handle);
        entry.handle = INVALID_HANDLE_VALUE;
        ok = ok && MoveFileExA(entry.temporary, path, MOVEFILE_REPLACE_EXISTING);
        if (!ok) break;
        entry.temporary[0] = '\0';
        if (report->rebuiltCount < kRebuiltListed) report->rebuilt[report->rebuiltCount] = entry.part;
        ++report->rebuiltCount;
    }
    return ok;
}

RepairOutcome Run(Work& w, const char* folder, RepairReport* report) {
    w.buffer = Table<BYTE>(kPiece);
    w.packet = Table<BYTE>(kLargestDescription);
    w.scan = Table<BYTE>(kPiece);
    w.spares = Table<Spare>(kMaxExponent);
    if (w.buffer == nullptr || w.packet == nullptr || w.scan == nullptr || w.spares == nullptr) {
        return RepairOutcome::Failed;
    }
    if (!FindSetFiles(w, folder, partName)) return RepairOutcome::Failed;
    ScanPackets(w, VisitMain);
    if (!w.haveSet) return RepairOutcome::NoSet;
    ScanPackets(w, VisitDescription);
    if (!SetComplete(w)) return RepairOutcome::NoSet;
    ScanPackets(w, VisitRecovery);
    report->parts = w.entryCount;
    report->spareSlices = w.spareCount;
    DWORD perPart = 1;
    for (DWORD e = 0; e < w.entryCount; ++e) {
        if (w.entries[e].slices > perPart) perPart = w.entries[e].slices;
    }
    report->partsCovered = w.spareCount / perPart;
    w.lost = Table<bool>(w.slices);
    if (w.lost == nullptr) return RepairOutcome::Failed;
    for (DWORD e = 0; e < w.entryCount; ++e) workTotal += w.entries[e].length;
    for (DWORD e = 0; e < w.entryCount; ++e) {
        if (!CheckPart(w, folder, w.entries[e])) return RepairOutcome::Failed;
        if (w.entries[e].bad) ++report->badParts;
    }
    for (DWORD i = 0; i < w.slices; ++i) report->lostSlices += w.lost[i] ? 1 : 0;
    if (report->badParts == 0) return RepairOutcome::Whole;
    DWORD n = report->lostSlices;
    if (n > w.spareCount) return RepairOutcome::TooDamaged;
    if (static_cast<unsigned long long>(n) * w.slices > kMostCoefficients ||
        static_cast<unsigned long long>(n) * n * w.slices > kMostSolveSteps) {
        return RepairOutcome::Failed;
    }
    return Rebuild(w, folder, report) ? RepairOutcome::Rebuilt : RepairOutcome::Failed;
}
}  // namespace

namespace {
bool Repair(Work& w, const char* folder, const char* name, RepairReport* report) {
    *report = RepairReport{};
    partName = name;
    current = &w;
    sessionEnded = stopped = false;
    workDone = workTotal = 0;
    report->outcome = Run(w, folder, report);
    // Whatever failed after a stop is only its consequence.
    if (sessionEnded) report->outcome = RepairOutcome::SessionEnds;
    else if (stopped) report->outcome = RepairOutcome::Cancelled;
    Release(w);
    current = nullptr;
    partName = nullptr;
    return report->outcome == RepairOutcome::Whole || report->outcome == RepairOutcome::Rebuilt;
}
}  // namespace

bool RepairParts(const char* folder, const char* name, RepairReport* report) {
    Work w;
    return Repair(w, folder, name, report);
}

bool RepairJoinedParts(const char* folder, const char* name, HANDLE joined,
                       unsigned long long partLength, RepairReport* report) {
    Work w;
    w.joined = joined;
    w.partLength = partLength;
    return Repair(w, folder, name, report);
}

void EndRepairAsSessionEnds() {
    sessionEnded = true;
    if (current == nullptr) return;
    // The process may end as soon as the caller returns: no part half rebuilt stays,
    // and every file read, closed, may go (a joined file, the set's copied files).
    for (DWORD i = 0; current->files != nullptr && i < current->fileCount; ++i) {
        if (current->files[i].handle != INVALID_HANDLE_VALUE) CloseHandle(current->files[i].handle);
        current->files[i].handle = INVALID_HANDLE_VALUE;
    }
    for (DWORD e = 0; current->entries != nullptr && e < current->entryCount; ++e) {
        FileEntry& entry = current->entries[e];
        for (HANDLE* handle : {&entry.handle, &entry.rebuilt}) {
            if (*handle != INVALID_HANDLE_VALUE && *handle != nullptr) CloseHandle(*handle);
            *handle = INVALID_HANDLE_VALUE;
        }
        if (entry.temporary[0] != '\0') DeleteFileA(entry.temporary);
        entry.temporary[0] = '\0';
    }
}
