#include "recovery/slice_engine.h"

#include <cstring>

#include "recovery/file_io.h"

DWORD sliceMemoryBudget = kDefaultSliceMemory;

namespace {
// Each piece of input is applied to every output while it is still in the
// processor's cache.
constexpr DWORD kCacheBlock = 32u << 10;
constexpr DWORD kSmallestPiece = 64u << 10;

BYTE* Allocate(unsigned long long bytes) {
    if (bytes == 0 || bytes > 0x7FFFFFFFu) return nullptr;
    return static_cast<BYTE*>(
        VirtualAlloc(nullptr, static_cast<SIZE_T>(bytes), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
}

DWORD Clamp(unsigned long long value, DWORD limit) {
    return value < limit ? static_cast<DWORD>(value) : limit;
}
}  // namespace

bool ComputeSlices(const SliceInput* inputs, DWORD inputCount, const SliceOutput* outputs,
                   DWORD outputCount, DWORD sliceSize, SliceCoefficient coefficient,
                   const void* context, SliceProgress progress) {
    if (outputCount == 0) return true;
    // The piece of each slice taken per pass: the sums of all outputs for it fit the budget.
    DWORD piece = sliceMemoryBudget / outputCount;
    if (piece < kSmallestPiece) piece = kSmallestPiece;
    if (piece > sliceSize) piece = sliceSize;
    piece &= ~3u;
    if (piece == 0) return false;
    BYTE* sums = Allocate(static_cast<unsigned long long>(piece) * outputCount);
    BYTE* input = Allocate(piece);
    bool ok = sums != nullptr && input != nullptr;
    unsigned long long done = 0;
    for (DWORD start = 0; ok && start < sliceSize; start += piece) {
        DWORD length = sliceSize - start < piece ? sliceSize - start : piece;
        std::memset(sums, 0, static_cast<SIZE_T>(piece) * outputCount);
        for (DWORD i = 0; ok && i < inputCount; ++i) {
            const SliceInput& in = inputs[i];
            // Bytes of this piece the file holds; past them the slice is zeros.
            DWORD have = in.length > start ? Clamp(in.length - start, length) : 0;
            if (have == 0) continue;
            ok = ReadAt(in.file, in.offset + start, input, have);
            if (!ok) break;
            DWORD even = (have + 1) & ~1u;
            if (even > have) input[have] = 0;
            for (DWORD block = 0; block < even; block += kCacheBlock) {
                DWORD blockLength = even - block < kCacheBlock ? even - block : kCacheBlock;
                for (DWORD o = 0; o < outputCount; ++o) {
                    GfMultiplyAdd(sums + static_cast<SIZE_T>(o) * piece + block, input + block,
                                  blockLength, coefficient(context, o, i));
                }
            }
            done += have;
            if (progress != nullptr && !progress(done)) ok = false;
        }
        for (DWORD o = 0; ok && o < outputCount; ++o) {
            const SliceOutput& out = outputs[o];
            DWORD keep = out.length > start ? Clamp(out.length - start, length) : 0;
            if (keep != 0) {
                ok = WriteAt(out.file, out.offset + start, sums + static_cast<SIZE_T>(o) * piece, keep);
            }
        }
    }
    if (sums != nullptr) VirtualFree(sums, 0, MEM_RELEASE);
    if (input != nullptr) VirtualFree(input, 0, MEM_RELEASE);
    return ok;
}
