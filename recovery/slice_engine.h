// The one computation of recovery data and of its repair: every output slice is a
// sum over the input slices, each multiplied by its coefficient in GF(2^16). The
// slices are taken in passes of bounded pieces, so memory stays bounded whatever
// the slice size and the number of slices.
#pragma once
#include <windows.h>

#include "recovery/galois.h"

// Where an input slice's bytes are: `length` bytes at `offset` of `file` (fewer
// than the slice size at a file's end; the rest counts as zeros).
struct SliceInput {
    HANDLE file;
    unsigned long long offset;
    unsigned long long length;
};

// Where an output slice goes: its first `length` bytes (the slice size, or less
// for the end of a part) at `offset` of `file`.
struct SliceOutput {
    HANDLE file;
    unsigned long long offset;
    unsigned long long length;
};

using SliceCoefficient = GfWord (*)(const void* context, DWORD output, DWORD input);
// Told of the input bytes taken so far; false stops the computation.
using SliceProgress = bool (*)(unsigned long long bytesDone);

// Memory the computation may hold for its sums at once.
extern DWORD sliceMemoryBudget;
constexpr DWORD kDefaultSliceMemory = 32u << 20;

bool ComputeSlices(const SliceInput* inputs, DWORD inputCount, const SliceOutput* outputs,
                   DWORD outputCount, DWORD sliceSize, SliceCoefficient coefficient,
                   const void* context, SliceProgress progress);
