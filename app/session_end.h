// Log-off and shutdown during a split or a join: Windows is asked to wait while a run is
// under way, since a part cut off half copied looks whole; never when idle.
#pragma once
#include <windows.h>

// From the run's start to its end, for the main window (null: nothing is held);
// `doing` names the run for the system's list of what holds the session.
void HoldSessionEnd(HWND window, const char* doing);
void ReleaseSessionEnd();

// The main window's WM_QUERYENDSESSION and WM_ENDSESSION, as a dialog procedure answers.
INT_PTR OnQueryEndSession(HWND window);
INT_PTR OnEndSession(WPARAM ending);
