// The program's registry key, HKEY_CURRENT_USER\Software\Velk, for tests: a clean
// key for each test, and raw access to its values with their exact type and size.
//
//   TEST_F(CleanVelkKey, ...) { ... }            the key is gone before and after
//   class MyTest : public CleanVelkKey { ... }   the same, for a fixture of one's own
//   VelkRegistry::WriteDword("MRUDLimit", 9);    a value put there "from outside"
//   RawValue v = VelkRegistry::Read("MRUD1");    v.type, v.bytes.size(), v.Text()
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "gtest/gtest.h"

// One registry value as stored, read without going through the program.
struct RawValue {
    LONG error = ERROR_FILE_NOT_FOUND;  // result of the query; ERROR_SUCCESS when read
    DWORD type = REG_NONE;
    std::vector<unsigned char> bytes;   // exactly the stored size

    bool exists() const { return error == ERROR_SUCCESS; }
    DWORD size() const { return static_cast<DWORD>(bytes.size()); }
    // The stored text up to its first zero byte (or all bytes when there is none).
    std::string Text() const;
    // The stored number; 0xDEADBEEF unless 4 bytes were stored.
    DWORD Dword() const;
    // True when every byte after the text's terminator is zero.
    bool ZeroFilled() const;
};

namespace VelkRegistry {
constexpr const char* kKeyPath = "Software\\Velk";  // under HKEY_CURRENT_USER

// Deletes the key with all its values; true when it is gone afterwards.
bool DeleteKey();
bool KeyExists();
// Creates the key when it is missing (a test that writes values before the store).
bool CreateKey();

RawValue Read(const std::string& name);
// Writes exactly `size` bytes of `data` with the given type (creating the key).
bool WriteRaw(const std::string& name, DWORD type, const void* data, DWORD size);
bool WriteDword(const std::string& name, DWORD value);
// Writes text as REG_SZ padded with zeros to `size` bytes (260 as the program
// stores texts); a size at or below the text's length stores it without terminator.
bool WriteText(const std::string& name, const std::string& text, DWORD size = MAX_PATH);
bool DeleteValue(const std::string& name);
// Names of all values under the key, in the registry's order.
std::vector<std::string> ValueNames();
}  // namespace VelkRegistry

// A GoogleTest fixture whose tests start and end without the key.
class CleanVelkKey : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
};
