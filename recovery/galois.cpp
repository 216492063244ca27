#include "recovery/galois.h"

#include <tmmintrin.h>

#include <cstring>

namespace {
constexpr DWORD kGenerator = 0x1100B;
constexpr DWORD kOrder = 65535;

// Logarithms and powers of 2; the power table is doubled so a sum of two
// logarithms indexes it without a modulo.
struct Tables {
    WORD log[65536];
    WORD exp[2 * kOrder];
    Tables() {
        DWORD value = 1;
        for (DWORD i = 0; i < kOrder; ++i) {
            exp[i] = static_cast<WORD>(value);
            exp[i + kOrder] = static_cast<WORD>(value);
            log[value] = static_cast<WORD>(i);
            value <<= 1;
            if (value & 0x10000) value ^= kGenerator;
        }
        log[0] = 0;
    }
};

const Tables& Gf() {
    static const Tables* tables = new Tables;
    return *tables;
}

bool portableOnly = false;

void MultiplyAddPortable(BYTE* dst, const BYTE* src, DWORD length, GfWord factor) {
    // Two tables of 256 products: the low byte's and the high byte's share.
    WORD low[256];
    WORD high[256];
    for (DWORD b = 0; b < 256; ++b) {
        low[b] = GfMultiply(factor, static_cast<GfWord>(b));
        high[b] = GfMultiply(factor, static_cast<GfWord>(b << 8));
    }
    for (DWORD i = 0; i + 1 < length; i += 2) {
        WORD product = low[src[i]] ^ high[src[i + 1]];
        dst[i] ^= static_cast<BYTE>(product);
        dst[i + 1] ^= static_cast<BYTE>(product >> 8);
    }
}

// Sixteen 16-byte words at a time: each nibble of a word looks its share of the
// product up with PSHUFB, low and high result bytes in separate tables.
__attribute__((target("ssse3"))) void MultiplyAddSsse3(BYTE* dst, const BYTE* src,
                                                        DWORD length, GfWord factor) {
    alignas(16) BYTE tables[8][16];
    for (int nibble = 0; nibble < 4; ++nibble) {
        for (int v = 0; v < 16; ++v) {
            GfWord product = GfMultiply(factor, static_cast<GfWord>(v << (4 * nibble)));
            tables[2 * nibble][v] = static_cast<BYTE>(product);
            tables[2 * nibble + 1][v] = static_cast<BYTE>(product >> 8);
        }
    }
    __m128i t[8];
    for (int i = 0; i < 8; ++i) t[i] = _mm_load_si128(reinterpret_cast<const __m128i*>(tables[i]));
    const __m128i lowByte = _mm_set1_epi16(0x00FF);
    const __m128i lowNibble = _mm_set1_epi8(0x0F);
    DWORD done = 0;
    for (; done + 32 <= length; done += 32) {
        __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + done));
        __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + done + 16));
        __m128i lo = _mm_packus_epi16(_mm_and_si128(a, lowByte), _mm_and_si128(b, lowByte));
        __m128i hi = _mm_packus_epi16(_mm_srli_epi16(a, 8), _mm_srli_epi16(b, 8));
        __m128i n0 = _mm_and_si128(lo, lowNibble);
        __m128i n1 = _mm_and_si128(_mm_srli_epi16(lo, 4), lowNibble);
        __m128i n2 = _mm_and_si128(hi, lowNibble);
        __m128i n3 = _mm_and_si128(_mm_srli_epi16(hi, 4), lowNibble);
        __m128i rl = _mm_xor_si128(
            _mm_xor_si128(_mm_shuffle_epi8(t[0], n0), _mm_shuffle_epi8(t[2], n1)),
            _mm_xor_si128(_mm_shuffle_epi8(t[4], n2), _mm_shuffle_epi8(t[6], n3)));
        __m128i rh = _mm_xor_si128(
            _mm_xor_si128(_mm_shuffle_epi8(t[1], n0), _mm_shuffle_epi8(t[3], n1)),
            _mm_xor_si128(_mm_shuffle_epi8(t[5], n2), _mm_shuffle_epi8(t[7], n3)));
        __m128i* out = reinterpret_cast<__m128i*>(dst + done);
        _mm_storeu_si128(out, _mm_xor_si128(_mm_loadu_si128(out), _mm_unpacklo_epi8(rl, rh)));
        _mm_storeu_si128(out + 1,
                         _mm_xor_si128(_mm_loadu_si128(out + 1), _mm_unpackhi_epi8(rl, rh)));
    }
    if (done < length) MultiplyAddPortable(dst + done, src + done, length - done, factor);
}

bool HaveSsse3() {
    static const bool have = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("ssse3") != 0;
    }();
    return have;
}
}  // namespace

GfWord GfMultiply(GfWord a, GfWord b) {
    if (a == 0 || b == 0) return 0;
    const Tables& gf = Gf();
    return gf.exp[gf.log[a] + gf.log[b]];
}

GfWord GfDivide(GfWord a, GfWord b) {
    if (a == 0 || b == 0) return 0;
    const Tables& gf = Gf();
    return gf.exp[gf.log[a] + kOrder - gf.log[b]];
}

GfWord GfPower(GfWord base, DWORD exponent) {
    if (exponent == 0) return 1;
    if (base == 0) return 0;
    const Tables& gf = Gf();
    return gf.exp[static_cast<DWORD>(gf.log[base]) * (exponent % kOrder) % kOrder];
}

GfWord GfInputConstant(DWORD index) {
    // Called in order by the writer and the repair; a walk from the last answer
    // keeps the cost linear in the slices.
    static DWORD lastIndex = 0;
    static DWORD lastExponent = 1;
    if (index < lastIndex) {
        lastIndex = 0;
        lastExponent = 1;
    }
    while (lastIndex < index) {
        ++lastExponent;
        if (lastExponent % 3 && lastExponent % 5 && lastExponent % 17 && lastExponent % 257) {
            ++lastIndex;
        }
    }
    return Gf().exp[lastExponent];
}

void GfMultiplyAdd(BYTE* dst, const BYTE* src, DWORD length, GfWord factor) {
    if (factor == 0) return;
    if (factor == 1) {
        for (DWORD i = 0; i < length; ++i) dst[i] ^= src[i];
        return;
    }
    if (!portableOnly && HaveSsse3()) {
        MultiplyAddSsse3(dst, src, length, factor);
    } else {
        MultiplyAddPortable(dst, src, length, factor);
    }
}

void GfForcePortable(bool portable) { portableOnly = portable; }
