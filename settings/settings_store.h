#pragma once
#include <windows.h>

// How many parts the recovery set written with a split survives losing: 0 to 99.
constexpr DWORD kMaxRecoveryParts = 99;

enum RecentMode { RecentFirst = 1, RecentNext = 2 };

// The program's only configuration object: values under HKCU\Software\Velk.
//
// Whatever the registry holds or refuses, a constructed store is usable for the
// whole run: mruLimit and mruDefault are always within 1 to 7 with
// 1 <= mruDefault <= mruLimit, and every operation only reports its failure.
class SettingsStore {
public:
    SettingsStore();
    virtual ~SettingsStore();

    DWORD Initialize();

    DWORD GetMruLimit();
    bool SetMruLimit(DWORD value);
    DWORD GetMruDefault();
    bool SetMruDefault(DWORD value);
    // Reads the entry whole, whatever its stored size, into a buffer of kPathSize
    // bytes: the text and its terminator. StatusRegistryError, the buffer left as
    // it was, when it cannot be read or holds no path Windows takes (never cut).
    DWORD GetRecentDir(char* buffer, int index);
    // Stores the path in buffer (of kPathSize bytes) with zeros after it up to 260
    // bytes, or whole with its terminator when longer; false, storing nothing, when
    // it is no path Windows takes.
    bool SetRecentDir(const char* buffer, int index);

    bool GetUseMru();
    bool SetUseMru(bool value);
    bool GetMinToTray();
    bool SetMinToTray(bool value);
    bool GetShellMenu();
    bool SetShellMenu(bool value);
    // "RecoveryParts": 0 (no recovery set) to kMaxRecoveryParts; anything else reads as 0.
    DWORD GetRecoveryParts();
    bool SetRecoveryParts(DWORD value);

    // The ring of recent destination directories.
    bool AddRecentDir(const char* dir);
    // Reads into a buffer of kPathSize bytes.
    bool NextRecentDir(char* buffer, RecentMode mode);

    DWORD mruLimit;
    DWORD mruDefault;
    DWORD valueType;
    DWORD valueSize;
    DWORD disposition;
    HKEY key;
    LONG lastError;

private:
    LONG QueryValue(const char* name, void* data, DWORD size);
    LONG WriteValue(const char* name, DWORD type, const void* data, DWORD size);
    DWORD GetNumber(const char* name);
    bool SetNumber(const char* name, DWORD value);
    bool GetFlag(const char* name);
    DWORD LoadNumber(const char* name, DWORD fallback, bool (SettingsStore::*set)(DWORD));
    DWORD InitFlag(const char* name, bool (SettingsStore::*set)(bool), bool fallback);
};

// The recent-list enumeration state belongs to the process, not to a store: an
// enumeration's stop slot is fixed by the first NextRecentDir of the process.
// This puts that state back as at process start, for a run that begins afresh
// (a test that makes a new store and enumerates again).
void ResetRecentEnumeration();
