#include "tests/support/velk_registry.h"

#include <shlwapi.h>

#include <algorithm>

std::string RawValue::Text() const {
    auto end = std::find(bytes.begin(), bytes.end(), 0);
    return std::string(bytes.begin(), end);
}

DWORD RawValue::Dword() const {
    if (bytes.size() != sizeof(DWORD)) return 0xDEADBEEF;
    DWORD value = 0;
    std::copy(bytes.begin(), bytes.end(), reinterpret_cast<unsigned char*>(&value));
    return value;
}

bool RawValue::ZeroFilled() const {
    auto end = std::find(bytes.begin(), bytes.end(), 0);
    return std::all_of(end, bytes.end(), [](unsigned char b) { return b == 0; });
}

namespace VelkRegistry {
namespace {
HKEY Open(REGSAM access) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kKeyPath, 0, access, &key) != ERROR_SUCCESS) return nullptr;
    return key;
}
}  // namespace

bool DeleteKey() {
    SHDeleteKeyA(HKEY_CURRENT_USER, kKeyPath);
    return !KeyExists();
}

bool KeyExists() {
    HKEY key = Open(KEY_READ);
    if (key == nullptr) return false;
    RegCloseKey(key);
    return true;
}

bool CreateKey() {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kKeyPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(key);
    return true;
}

RawValue Read(const std::string& name) {
    RawValue value;
    HKEY key = Open(KEY_READ);
    if (key == nullptr) return value;
    DWORD size = 0;
    value.error = RegQueryValueExA(key, name.c_str(), nullptr, &value.type, nullptr, &size);
    if (value.error == ERROR_SUCCESS) {
        value.bytes.resize(size + 2);  // room in case the size was asked without the terminator
        DWORD got = size + 2;
        value.error =
            RegQueryValueExA(key, name.c_str(), nullptr, &value.type, value.bytes.data(), &got);
        value.bytes.resize(value.error == ERROR_SUCCESS ? got : 0);
    }
    RegCloseKey(key);
    return value;
}

bool WriteRaw(const std::string& name, DWORD type, const void* data, DWORD size) {
    if (!CreateKey()) return false;
    HKEY key = Open(KEY_SET_VALUE);
    if (key == nullptr) return false;
    LONG result =
        RegSetValueExA(key, name.c_str(), 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(key);
    return result == ERROR_SUCCESS;
}

bool WriteDword(const std::string& name, DWORD value) {
    return WriteRaw(name, REG_DWORD, &value, sizeof value);
}

bool WriteText(const std::string& name, const std::string& text, DWORD size) {
    std::vector<char> bytes(size, '\0');
    std::copy_n(text.begin(), std::min<std::size_t>(text.size(), size), bytes.begin());
    return WriteRaw(name, REG_SZ, bytes.data(), size);
}

bool DeleteValue(const std::string& name) {
    HKEY key = Open(KEY_SET_VALUE);
    if (key == nullptr) return false;
    LONG result = RegDeleteValueA(key, name.c_str());
    RegCloseKey(key);
    return result == ERROR_SUCCESS;
}

std::vector<std::string> ValueNames() {
    std::vector<std::string> names;
    HKEY key = Open(KEY_READ);
    if (key == nullptr) return names;
    for (DWORD i = 0;; ++i) {
        char name[256];
        DWORD length = sizeof name;
        if (RegEnumValueA(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS) {
            break;
        }
        names.push_back(name);
    }
    RegCloseKey(key);
    return names;
}
}  // namespace VelkRegistry

void CleanVelkKey::SetUp() { ASSERT_TRUE(VelkRegistry::DeleteKey()) << "HKCU\\Software\\Velk stays"; }

void CleanVelkKey::TearDown() { VelkRegistry::DeleteKey(); }
