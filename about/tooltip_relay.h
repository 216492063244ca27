// Tooltips for the children of one window: a tooltip control owned by that window
// and a message hook on the user-interface thread that hands it every mouse move
// aimed at one of the window's descendants, so no tool window is subclassed.
#pragma once

#include <windows.h>

class ToolTipRelay {
public:
    // A null owner gives a relay without control and hook.
    explicit ToolTipRelay(HWND ownerWindow);
    // Removes the hook; the control goes with its owner window.
    virtual ~ToolTipRelay();
    ToolTipRelay(const ToolTipRelay&) = delete;
    ToolTipRelay& operator=(const ToolTipRelay&) = delete;

    // Registers a descendant of the owner with its tip text (kept by pointer).
    // Non-zero on success; 0 on a relay without control.
    LRESULT AddTool(HWND toolWindow, const char* tipText);

    HWND tooltip;  // null when its creation failed
    HHOOK hook;    // the thread's WH_GETMESSAGE hook; null without control
    HWND owner;

private:
    // The relay this one took over from, served again once this one goes.
    ToolTipRelay* previous;
};

// The relay the hook procedure serves: the newest one with a control.
extern ToolTipRelay* currentRelay;

LRESULT CALLBACK RelayHookProc(int code, WPARAM wParam, LPARAM lParam);
