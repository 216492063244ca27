#pragma once
#include <windows.h>

#include "core/app_state.h"

// The name of the mutex that the working instance of a session owns for its whole
// life, in the session's own namespace: other users' instances never meet it.
constexpr char kInstanceMutexName[] = "Local\\VelkTresmalInstance";

// sourcePath := text when it names an existing path, else empty; a path longer
// than Windows allows gets its box.
void SetInitialSource(const char* text);

// True when this process becomes its session's working instance: it then owns the
// instance mutex until it ends. False when another instance of the session owns it.
bool BecomeFirstInstance();
// A later start: whether the running instance's main window is there, looked for
// during a few seconds while it may still be made.
bool RunningWindowOfThisSession();

// A later start: hands the argument text to the running instance's window, if
// one is found, and waits a few seconds at most for it to be taken. Returns
// whether it was taken; when the running instance did not answer in time, says
// so in a box of its own first.
bool HandOffArguments(const char* arguments);

// The run's one settings store. When the heap has no room for it, a store held in
// reserve for that case is used, so the main window always has a usable store.
SettingsStore* CreateSettingsStore();
// Ends a store made by CreateSettingsStore, whichever way it was made.
void DestroySettingsStore(SettingsStore* store);
