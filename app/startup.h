#pragma once
#include <windows.h>

#include "core/app_state.h"

// Counts the running instances; lives in the section shared by all of them.
extern volatile LONG instanceCounter;

// sourcePath := text when it names an existing path, else empty; a path longer
// than Windows allows gets its box.
void SetInitialSource(const char* text);

// The first instance notes its session, so that a start of another session does
// not wait for a window it cannot see.
void RecordFirstInstanceSession();
// A later start: whether the running instance's main window is there on this
// session's desktop, looked for during a few seconds while it may still be made.
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
