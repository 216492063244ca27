// The main window's two modes: splitting a file, or joining the set whose first
// part ("<name>.001") is loaded. The window switches on each file loaded.
#pragma once
#include <windows.h>

// True when the loaded source is the first part of a set: Split then joins.
bool InJoinMode();

// Shows the set of the loaded first part: button "Join", the label, the joined
// size (1009) and the number of parts (1010) in appState and on the form, the size
// box disabled. False (and the form untouched) when no part of it was found.
bool ShowJoinMode(HWND window);
// Puts the button, the label and the size box back to splitting.
void ShowSplitMode(HWND window);

// The box after a join: the joined name, its parts and the destination.
void ShowJoinSummary(HWND window);
