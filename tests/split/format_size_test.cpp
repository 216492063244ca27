#include <cctype>
#include <cstring>
#include <string>

#include "gtest/gtest.h"
#include "split/format_size.h"

namespace {
std::string Size(ULONGLONG bytes) {
    char text[20];
    FormatSize(bytes, text);
    return text;
}

// Whole number, point, two digits, blank, unit: the form every size text keeps.
bool HasUnitForm(const char* text) {
    const char* p = text;
    if (!std::isdigit(static_cast<unsigned char>(*p))) return false;
    while (std::isdigit(static_cast<unsigned char>(*p))) ++p;
    if (p[0] != '.' || !std::isdigit(static_cast<unsigned char>(p[1])) ||
        !std::isdigit(static_cast<unsigned char>(p[2])) || p[3] != ' ') {
        return false;
    }
    return std::strcmp(p + 4, "KB") == 0 || std::strcmp(p + 4, "MB") == 0 ||
           std::strcmp(p + 4, "GB") == 0;
}
}  // namespace

TEST(FormatSize, GivesTheWorkedValues) {
    const struct {
        ULONGLONG bytes;
        const char* text;
    } worked[] = {{0, "0 Bytes"},           {999, "999 Bytes"},         {1000, "0.98 KB"},
                  {1024, "1.00 KB"},        {1125, "1.00 KB"},          {1142, "1.12 KB"},
                  {1536, "1.50 KB"},        {262144, "256.00 KB"},      {1000000, "976.57 KB"},
                  {1000001, "0.95 MB"},     {1457664, "1.39 MB"},       {3145728, "3.00 MB"},
                  {99999999, "95.37 MB"},   {100000001, "0.00 GB"},     {150000000, "0.14 GB"},
                  {1610612736, "1.50 GB"},  {4000000000u, "3.73 GB"},
                  // Exactly on the rounding bound: the second decimal stays.
                  {1141, "1.11 KB"},        {1169161, "1.11 MB"},
                  {(1536ull << 30) + (1ull << 29), "1536.50 GB"}};  // GB past 4 GiB
    for (const auto& w : worked) EXPECT_EQ(w.text, Size(w.bytes)) << w.bytes << " bytes";
}

TEST(FormatSize, ChangesUnitExactlyAtTheBounds) {
    EXPECT_EQ("999 Bytes", Size(999));
    EXPECT_EQ("0.98 KB", Size(1000));
    EXPECT_EQ("976.57 KB", Size(1000000));
    EXPECT_EQ("0.95 MB", Size(1000001));
    EXPECT_EQ("95.37 MB", Size(100000000));
    EXPECT_EQ("0.00 GB", Size(100000001));
    EXPECT_EQ("0.00 GB", Size(107374181));
}

TEST(FormatSize, CarriesADecimalOfTenIntoTheNextPlace) {
    EXPECT_EQ("1.00 KB", Size(1023));        // first decimal 10
    EXPECT_EQ("1.20 KB", Size(1222));        // second decimal 9 rounded up to 10
    EXPECT_EQ("2.00 KB", Size(2042));        // 1.9 and a tenth of ten: carried twice
    EXPECT_EQ("4.00 GB", Size(4294967295u));
    EXPECT_EQ("2.00 MB", Size(2 * 1048576 - 1));
}

TEST(FormatSize, EveryTextKeepsItsFormAndFitsTwentyBytes) {
    auto check = [](ULONGLONG bytes) {
        char text[24];
        std::memset(text, '#', sizeof text);
        FormatSize(bytes, text);
        size_t length = strnlen(text, sizeof text);
        if (length > (bytes <= 0xFFFFFFFFull ? 9u : 19u) || text[20] != '#') return ::testing::AssertionFailure() << bytes << ": too long";
        if (bytes >= 1000 && !HasUnitForm(text))
            return ::testing::AssertionFailure() << bytes << ": \"" << text << "\"";
        return ::testing::AssertionSuccess();
    };
    // Every remainder of the KB range, then a stride across all 32-bit counts.
    for (DWORD bytes = 0; bytes <= 1003000; ++bytes) ASSERT_TRUE(check(bytes));
    for (unsigned long long bytes = 1000; bytes <= 0xFFFFFFFFull; bytes += 65521)
        ASSERT_TRUE(check(static_cast<DWORD>(bytes)));
    for (ULONGLONG bytes : {99999999ull, 100000000ull, 999999999ull, 4294967294ull, 4294967295ull,
                            ~0ull})
        ASSERT_TRUE(check(bytes));
}
