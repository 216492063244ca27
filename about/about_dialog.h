#pragma once
#include <windows.h>

#include <cstddef>

class HyperLink;
class ToolTipRelay;

INT_PTR CALLBACK AboutDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// The Help button: opens "VELK.chm" from the program's own folder, wherever the
// program was started from (a help file can run script: never another folder's).
void OpenHelpFile(HWND owner);

// Forms "<program's folder>\VELK.chm" in path. False, with path empty, when the
// program's path cannot be read or the whole path does not fit.
bool FormHelpPath(char* path, std::size_t capacity);

// The About box's link and tooltip, from its initialisation to its close.
extern HyperLink* aboutLink;
extern ToolTipRelay* aboutTips;

// The web site shown in the About box.
constexpr char kSiteAddress[] = "http://www.velk.example/";
constexpr char kSiteHostName[] = "www.velk.example";
constexpr char kSiteTip[] = "http://www.velk.example/";
