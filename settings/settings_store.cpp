// Placeholder until this file's owner writes it.
#include "settings/settings_store.h"
SettingsStore::SettingsStore() : mruLimit(5), mruDefault(1), valueType(), valueSize(), disposition(), key(), lastError() {}
SettingsStore::~SettingsStore() {}
DWORD SettingsStore::Initialize() { return 0; }
DWORD SettingsStore::GetMruLimit() { return 5; }
bool SettingsStore::SetMruLimit(DWORD) { return false; }
DWORD SettingsStore::GetMruDefault() { return 1; }
bool SettingsStore::SetMruDefault(DWORD) { return false; }
DWORD SettingsStore::GetRecentDir(char* b, int) { b[0] = 0; return 0; }
bool SettingsStore::SetRecentDir(const char*, int) { return false; }
bool SettingsStore::GetUseMru() { return false; }
bool SettingsStore::SetUseMru(bool) { return false; }
bool SettingsStore::GetMinToTray() { return false; }
bool SettingsStore::SetMinToTray(bool) { return false; }
bool SettingsStore::GetShellMenu() { return false; }
bool SettingsStore::SetShellMenu(bool) { return false; }
