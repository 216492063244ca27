// Drives the modal "VELK Preferences" sheet from inside its own message loop:
// a thread timer waits for the sheet window and then runs the test's steps.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <string>

constexpr char kSheetCaption[] = "VELK Preferences";

// Runs open() (which shows the sheet modally and returns when it has closed) and
// calls drive(sheet) once the sheet is up. drive must end the sheet (OK or
// Cancel); when it does not, the sheet is cancelled after a few seconds and the
// test fails. Returns false when the sheet never appeared.
bool DriveSheet(const std::function<void()>& open, const std::function<void(HWND sheet)>& drive);

// The visible "VELK Preferences" window of this thread, or null.
HWND FindSheet();

// Page windows: null for a page that has not been created yet.
HWND PageAt(HWND sheet, int index);
// Shows the page with that index and returns its window.
HWND ShowPage(HWND sheet, int index);
int CurrentPageIndex(HWND sheet);
// Texts of the tabs, in order.
std::string TabText(HWND sheet, int index);

// Presses PSBTN_OK, PSBTN_APPLYNOW or PSBTN_CANCEL. The press is queued: OK and
// Cancel end the sheet once the steps have returned.
void PressSheetButton(HWND sheet, int button);
// Presses Apply (which must be enabled) and waits until it has been carried out,
// which disables the button again. False when that did not happen.
bool ApplyNow(HWND sheet);
bool ApplyEnabled(HWND sheet);

// Clicks a button control as a person would (BM_CLICK: checks it and notifies).
void ClickControl(HWND page, int id);
bool Checked(HWND page, int id);
std::string ControlText(HWND page, int id);

// Types into the limit box as a person would over its selected text: selects it
// all, then sends the characters; an empty text deletes the selection.
void TypeIntoLimitBox(HWND page, const std::string& text);
