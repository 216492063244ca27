// The program's own loader for the HTML Help control (hhctrl.ocx): found through
// its class ID in the registry, else by name, loaded on first use and kept for
// the rest of the process; a load that failed is never tried again.
#pragma once

#include <windows.h>

#ifndef HH_DISPLAY_TOPIC
#define HH_DISPLAY_TOPIC 0x0000
#endif

// Same name, parameters, result and linkage as the control's own function, which
// it forwards to; 0 when the control or its entry is missing.
extern "C" HWND WINAPI HtmlHelpA(HWND caller, LPCSTR file, UINT command, DWORD_PTR data);

// What the loader holds, for the tests.
struct HtmlHelpLoaderState {
    HMODULE module;
    FARPROC entry;
    bool loadFailed;
};
HtmlHelpLoaderState GetHtmlHelpLoaderState();
