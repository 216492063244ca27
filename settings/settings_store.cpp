#include "settings/settings_store.h"

#include <cstring>
#include <memory>
#include <new>

#include "core/app_state.h"

namespace {
constexpr char kSubKey[] = "Software\\Velk";
constexpr char kAppPathName[] = "App Path";
constexpr char kLimitName[] = "MRUDLimit";
constexpr char kDefaultName[] = "MRUDDefault";
constexpr char kUseMruName[] = "UseMRUD";
constexpr char kMinToTrayName[] = "MinToSysTray";
constexpr char kShellMenuName[] = "ShlRtClkEn";
constexpr char kRecoveryPartsName[] = "RecoveryParts";

constexpr DWORD kNumberSize = sizeof(DWORD);
// Texts are stored with zeros after them up to 260 bytes, as they always were; a
// longer text (a path in UTF-8) is stored whole, with its terminator.
constexpr DWORD kStoredTextSize = MAX_PATH;
constexpr DWORD kMaxSlot = 7;
constexpr DWORD kDefaultLimit = 5;
constexpr DWORD kDefaultIndex = 1;

bool InSlotRange(DWORD value) { return value >= 1 && value <= kMaxSlot; }

bool InSlotRange(int index) { return index >= 1 && index <= static_cast<int>(kMaxSlot); }

void SlotName(char (&name)[16], int index) { FormatText(name, sizeof name, "MRUD%i", index); }

// Bytes a path is stored with: the text, its terminator, then zeros up to 260.
DWORD StoredSize(const char* path) {
    DWORD length = static_cast<DWORD>(std::strlen(path)) + 1;
    return length > kStoredTextSize ? length : kStoredTextSize;
}

// How often a value that grows between asking its size and reading it is asked again.
constexpr int kReadAttempts = 4;
}  // namespace

// Until Initialize has read the registry, the list works with its defaults, so
// the store is usable even when nothing can be read.
SettingsStore::SettingsStore()
    : mruLimit(kDefaultLimit),
      mruDefault(kDefaultIndex),
      valueType(0),
      valueSize(0),
      disposition(0),
      key(nullptr),
      lastError(ERROR_SUCCESS) {
    Initialize();
}

SettingsStore::~SettingsStore() {
    if (key != nullptr) {
        RegCloseKey(key);
        key = nullptr;
    }
}

LONG SettingsStore::QueryValue(const char* name, void* data, DWORD size) {
    valueSize = size;
    if (key == nullptr) {
        // The key never opened: every value reads as a registry failure.
        lastError = ERROR_INVALID_HANDLE;
        return lastError;
    }
    DWORD type = REG_NONE;
    lastError = RegQueryValueExA(key, name, nullptr, &type, static_cast<BYTE*>(data), &valueSize);
    valueType = type;
    return lastError;
}

LONG SettingsStore::WriteValue(const char* name, DWORD type, const void* data, DWORD size) {
    valueSize = size;
    if (key == nullptr) {
        lastError = ERROR_INVALID_HANDLE;
        return lastError;
    }
    lastError = RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size);
    return lastError;
}

DWORD SettingsStore::GetNumber(const char* name) {
    DWORD number = 0;  // a stored value shorter than 4 bytes reads with zero high bytes
    LONG result = QueryValue(name, &number, kNumberSize);
    if (result == ERROR_FILE_NOT_FOUND) return StatusNotFound;
    if (result != ERROR_SUCCESS) return StatusRegistryError;
    return number;
}

bool SettingsStore::SetNumber(const char* name, DWORD value) {
    return WriteValue(name, REG_DWORD, &value, kNumberSize) == ERROR_SUCCESS;
}

bool SettingsStore::GetFlag(const char* name) {
    DWORD flag = 0;
    return QueryValue(name, &flag, kNumberSize) == ERROR_SUCCESS && flag != 0;
}

// A stored number outside 1 to 7 (missing, unreadable, 0, above 7) gives way to
// the fallback, which is written back so the registry and the field agree.
DWORD SettingsStore::LoadNumber(const char* name, DWORD fallback,
                                bool (SettingsStore::*set)(DWORD)) {
    DWORD number = GetNumber(name);
    if (InSlotRange(number)) return number;
    (this->*set)(fallback);  // if this fails the value simply does not persist
    return fallback;
}

DWORD SettingsStore::InitFlag(const char* name, bool (SettingsStore::*set)(bool), bool fallback) {
    DWORD flag = 0;
    LONG result = QueryValue(name, &flag, kNumberSize);
    if (result == ERROR_FILE_NOT_FOUND) {
        return (this->*set)(fallback) ? StatusOk : StatusInitWriteFailed;
    }
    return result == ERROR_SUCCESS ? StatusOk : StatusRegistryError;
}

DWORD SettingsStore::Initialize() {
    if (key != nullptr) RegCloseKey(key);  // run again: no handle left behind
    key = nullptr;
    lastError = RegCreateKeyExA(HKEY_CURRENT_USER, kSubKey, 0, const_cast<char*>(""),
                                REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key,
                                &disposition);
    if (lastError != ERROR_SUCCESS) key = nullptr;  // later calls then fail cleanly

    // Stored whole or not at all: a cut path would name another program.
    char appPath[kPathSize] = {};
    DWORD appLength = GetModuleFileNameA(nullptr, appPath, kPathSize);
    if (appLength != 0 && appLength < kPathSize && FitsPath(appPath)) {
        WriteValue(kAppPathName, REG_SZ, appPath, StoredSize(appPath));
    }

    mruLimit = LoadNumber(kLimitName, kDefaultLimit, &SettingsStore::SetMruLimit);
    mruDefault = LoadNumber(kDefaultName, kDefaultIndex, &SettingsStore::SetMruDefault);
    // A limit lowered in the preferences can leave the default index outside the
    // ring; the walks of the recent list end only inside it.
    if (mruDefault > mruLimit) {
        mruDefault = kDefaultIndex;
        SetMruDefault(kDefaultIndex);
    }

    // Missing entries are created empty; an entry that exists but cannot be read
    // is left as it is, and the later entries are still completed.
    for (int index = 1; index <= static_cast<int>(kMaxSlot); ++index) {
        char text[kPathSize];
        if (GetRecentDir(text, index) == StatusNotFound) {
            std::memset(text, 0, sizeof text);
            SetRecentDir(text, index);
        }
    }

    // Every flag is completed; the result is the first failure among them.
    DWORD status = InitFlag(kUseMruName, &SettingsStore::SetUseMru, false);
    DWORD next = InitFlag(kMinToTrayName, &SettingsStore::SetMinToTray, true);
    if (status == StatusOk) status = next;
    next = InitFlag(kShellMenuName, &SettingsStore::SetShellMenu, true);
    if (status == StatusOk) status = next;
    // A missing count, or one outside 0 to 99, gives way to 0: no recovery set.
    if (GetNumber(kRecoveryPartsName) > kMaxRecoveryParts && !SetRecoveryParts(0) &&
        status == StatusOk) {
        status = StatusInitWriteFailed;
    }
    return status;
}

DWORD SettingsStore::GetMruLimit() { return GetNumber(kLimitName); }

bool SettingsStore::SetMruLimit(DWORD value) {
    return InSlotRange(value) && SetNumber(kLimitName, value);
}

DWORD SettingsStore::GetMruDefault() { return GetNumber(kDefaultName); }

bool SettingsStore::SetMruDefault(DWORD value) {
    return InSlotRange(value) && SetNumber(kDefaultName, value);
}

DWORD SettingsStore::GetRecentDir(char* buffer, int index) {
    if (!InSlotRange(index)) return StatusBadIndex;
    char name[16];
    SlotName(name, index);
    // Read whole, whatever its size (an earlier version's 260 characters take more
    // bytes in UTF-8), and aside, so a failed read leaves the caller's buffer as it
    // was. One byte more ends a value stored without its terminator.
    LONG result = QueryValue(name, nullptr, 0);
    std::unique_ptr<char[]> stored;
    for (int attempt = 0; result == ERROR_SUCCESS || result == ERROR_MORE_DATA; ++attempt) {
        if (attempt == kReadAttempts) return StatusRegistryError;
        DWORD size = valueSize + 1;
        stored.reset(new (std::nothrow) char[size]);
        if (stored == nullptr) return StatusRegistryError;
        result = QueryValue(name, stored.get(), size - 1);
        if (result == ERROR_SUCCESS) {
            stored[valueSize < size ? valueSize : size - 1] = '\0';
            break;
        }
    }
    if (result == ERROR_FILE_NOT_FOUND) return StatusNotFound;
    if (result != ERROR_SUCCESS) return StatusRegistryError;
    // A text that is no path Windows takes cannot be read as one; it is left alone.
    if (!FitsPath(stored.get())) return StatusRegistryError;
    std::memcpy(buffer, stored.get(), std::strlen(stored.get()) + 1);
    return StatusOk;
}

bool SettingsStore::SetRecentDir(const char* buffer, int index) {
    if (!InSlotRange(index)) return false;
    // Only a whole path is stored: never one cut to fit.
    if (!FitsPath(buffer)) return false;
    char name[16];
    SlotName(name, index);
    char text[kPathSize] = {};
    CopyText(text, buffer);
    return WriteValue(name, REG_SZ, text, StoredSize(text)) == ERROR_SUCCESS;
}

bool SettingsStore::GetUseMru() { return GetFlag(kUseMruName); }
bool SettingsStore::SetUseMru(bool value) { return SetNumber(kUseMruName, value ? 1 : 0); }
bool SettingsStore::GetMinToTray() { return GetFlag(kMinToTrayName); }
bool SettingsStore::SetMinToTray(bool value) { return SetNumber(kMinToTrayName, value ? 1 : 0); }
bool SettingsStore::GetShellMenu() { return GetFlag(kShellMenuName); }
bool SettingsStore::SetShellMenu(bool value) { return SetNumber(kShellMenuName, value ? 1 : 0); }

DWORD SettingsStore::GetRecoveryParts() {
    DWORD parts = GetNumber(kRecoveryPartsName);
    return parts <= kMaxRecoveryParts ? parts : 0;
}

bool SettingsStore::SetRecoveryParts(DWORD value) {
    return value <= kMaxRecoveryParts && SetNumber(kRecoveryPartsName, value);
}
