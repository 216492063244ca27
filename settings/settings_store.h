#pragma once
#include <windows.h>

enum RecentMode { RecentFirst = 1, RecentNext = 2 };

// The program's only configuration object: values under HKCU\Software\Velk.
class SettingsStore {
public:
    SettingsStore();
    virtual ~SettingsStore();

    DWORD Initialize();

    DWORD GetMruLimit();
    bool SetMruLimit(DWORD value);
    DWORD GetMruDefault();
    bool SetMruDefault(DWORD value);
    DWORD GetRecentDir(char* buffer, int index);
    bool SetRecentDir(const char* buffer, int index);

    bool GetUseMru();
    bool SetUseMru(bool value);
    bool GetMinToTray();
    bool SetMinToTray(bool value);
    bool GetShellMenu();
    bool SetShellMenu(bool value);

    // The ring of recent destination directories.
    bool AddRecentDir(const char* dir);
    bool NextRecentDir(char* buffer, RecentMode mode);

    DWORD mruLimit;
    DWORD mruDefault;
    DWORD valueType;
    DWORD valueSize;
    DWORD disposition;
    HKEY key;
    LONG lastError;
};
