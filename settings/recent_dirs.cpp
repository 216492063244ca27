// Placeholder until this file's owner writes it.
#include "settings/settings_store.h"
bool SettingsStore::AddRecentDir(const char*) { return true; }
bool SettingsStore::NextRecentDir(char*, RecentMode) { return false; }
