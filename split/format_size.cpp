#include "split/format_size.h"

#include "core/app_state.h"

namespace {
// One unit of the size text: the unit in bytes, the divisors of the first and
// second decimal, and the bound above which the second decimal is rounded up.
struct SizeUnit {
    DWORD unit;
    DWORD firstDivisor;
    DWORD secondDivisor;
    DWORD roundingBound;
    const char* format;
};

// Gigabytes go on past 4 GiB by the same rule: "9.00 GB", "1024.00 GB".
constexpr SizeUnit kKilo = {1024, 102, 10, 5, "%llu.%lu%lu KB"};
constexpr SizeUnit kMega = {1048576, 104857, 10485, 5243, "%llu.%lu%lu MB"};
constexpr SizeUnit kGiga = {1073741824, 107374182, 10737418, 5368709, "%llu.%lu%lu GB"};

constexpr std::size_t kSizeTextCapacity = 20;
}  // namespace

void FormatSize(ULONGLONG bytes, char* text) {
    if (bytes < 1000) {
        FormatText(text, kSizeTextCapacity, "%lu Bytes", static_cast<unsigned long>(bytes));
        return;
    }
    const SizeUnit& u = bytes <= 1000000 ? kKilo : bytes <= 100000000 ? kMega : kGiga;

    ULONGLONG whole = bytes / u.unit;
    DWORD rest = static_cast<DWORD>(bytes - whole * u.unit);
    DWORD first = 0;
    DWORD second = 0;
    if (rest >= u.firstDivisor) {
        first = rest / u.firstDivisor;
        DWORD rest1 = rest - first * u.firstDivisor;
        if (rest1 >= u.secondDivisor) {
            second = rest1 / u.secondDivisor;
            DWORD rest2 = rest1 - second * u.secondDivisor;
            if (rest2 > u.roundingBound) ++second;
        }
    }
    // The divisors are cut down from a tenth of the unit, so a decimal can come
    // out as 10 (1023 bytes, 1222 bytes): carry it so each decimal stays one digit.
    if (second >= 10) {
        second -= 10;
        ++first;
    }
    if (first >= 10) {
        first -= 10;
        ++whole;
    }
    FormatText(text, kSizeTextCapacity, u.format, whole, static_cast<unsigned long>(first),
               static_cast<unsigned long>(second));
}
