// The progress window of a split or a join run: which part of how many, a progress
// bar that follows the bytes written, and Cancel (the button, or Escape). While it is open
// the split run's progress hook handles the thread's waiting messages between
// slices, so every window of the program keeps answering during a long run.
#pragma once
#include <windows.h>

// Opens the window, owned by owner (null: none), and installs its hook into the
// split run. One at a time.
void OpenSplitProgress(HWND owner);
// Takes the hook out again and closes the window.
void CloseSplitProgress();

// The main window's run: SplitFile, then WriteMergeScript only when that succeeded,
// with the progress window open from start to end, however the run ends.
bool SplitWithProgress(HWND owner);
// The main window's join, in the same progress window.
bool JoinWithProgress(HWND owner);
