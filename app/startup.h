#pragma once
#include <windows.h>

#include "app/app_state.h"

// Counts the running instances; lives in the section shared by all of them.
extern volatile LONG instanceCounter;

// The argument text of a command line: what follows the program's own name.
const char* ArgumentText(const char* commandLine);

// The path an argument text names: the text itself, or what lies inside one pair
// of enclosing double quotes (the shell quotes paths with blanks). True, with the
// path in `path`, when it fits in 259 characters and names an existing file or
// directory; otherwise false and `path` is empty.
bool PathFromArgument(const char* text, char (&path)[kPathSize]);

// sourcePath := text when it names an existing path and fits, else empty.
void SetInitialSource(const char* text);

// The WM_COPYDATA branch of the main window's procedure (the hand-off receiver).
INT_PTR OnCopyData(HWND window, const COPYDATASTRUCT* data);

// A later start: hands the argument text to the running instance's window, if
// one is found. Returns whether a window was found and the message sent.
bool HandOffArguments(const char* arguments);

// The run's one settings store. When the heap has no room for it, a store held in
// reserve for that case is used, so the main window always has a usable store.
SettingsStore* CreateSettingsStore();
// Ends a store made by CreateSettingsStore, whichever way it was made.
void DestroySettingsStore(SettingsStore* store);
