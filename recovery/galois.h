// Arithmetic in GF(2^16) with the generator 0x1100B, as the PAR2 recovery format
// fixes it, and the multiply-add over a region that makes recovery data.
#pragma once
#include <windows.h>

using GfWord = WORD;

GfWord GfMultiply(GfWord a, GfWord b);
GfWord GfDivide(GfWord a, GfWord b);  // b must not be 0
GfWord GfPower(GfWord base, DWORD exponent);

// The constant of input slice `index` (from 0): 2 raised to the index-th exponent
// that is not a multiple of 3, 5, 17 or 257 (those give constants of full order).
GfWord GfInputConstant(DWORD index);

// dst ^= factor * src over `length` bytes of little-endian 16-bit words (length
// even). Uses SSSE3 where the processor has it; the result is the same either way.
void GfMultiplyAdd(BYTE* dst, const BYTE* src, DWORD length, GfWord factor);

// Only for tests and the benchmark: forces the portable path (true) or lets the
// processor decide (false).
void GfForcePortable(bool portable);
