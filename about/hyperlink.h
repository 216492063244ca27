// A self-drawn child window that shows a line of text as a link: link colour,
// hover colour while the mouse is over it, visited colour after a click, and the
// target opened through the shell on every left-button release.
#pragma once

#include <windows.h>

// The kind of Windows the program runs on, as far as the link's cursor cares.
enum WindowsFamily {
    FamilyUnknown = 0,
    FamilyWin32s = 1,
    FamilyWindows95 = 2,
    FamilyWindows98 = 4,
    FamilyWindowsMe = 8,
    FamilyWindowsNT = 16,
};

// Classifies a version record as GetVersionExA fills it.
WindowsFamily ClassifyWindowsVersion(const OSVERSIONINFOA& version);
// The family of the running Windows.
WindowsFamily GetWindowsFamily();

// The hand cursor of the Windows help program, which Windows 95 lacks among its
// system cursors. Loads "<windows directory>\winhlp32.exe" into *module (null
// when that fails) and returns its cursor 106, or null.
HCURSOR LoadHelpProgramCursor(HMODULE* module);

LRESULT CALLBACK HyperLinkWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

constexpr COLORREF kLinkNormalColour = RGB(0, 0, 238);
constexpr COLORREF kLinkVisitedColour = RGB(85, 26, 139);
constexpr COLORREF kLinkHoverColour = RGB(255, 0, 0);

// Style flags of the link's font.
constexpr int kLinkItalic = 1;
constexpr int kLinkUnderline = 2;
constexpr int kLinkStrikeOut = 4;

class HyperLink {
public:
    // Colours of 0 and a null face take the defaults; parent or target null leaves
    // the object without window and font. The texts are kept by pointer: the
    // caller keeps them alive as long as the object.
    HyperLink(HWND parent, const char* target, const char* text, COLORREF normalColour,
              COLORREF visitedColour, COLORREF hoverColour, const char* faceName, int pointSize,
              int weight, int styleFlags, int x, int y);
    // Frees the font and the cursor module; the window goes with its parent.
    virtual ~HyperLink();
    HyperLink(const HyperLink&) = delete;
    HyperLink& operator=(const HyperLink&) = delete;

    HWND window;            // null when none was created
    HMODULE cursorModule;   // the help program, loaded for its cursor on Windows 95
    HFONT font;             // owned
    bool visited;           // set by the first click, never cleared
    bool hovering;          // while the mouse is over the window
    HWND parent;            // owner of the error messages
    const char* target;     // what a click opens
    const char* text;       // what is shown
    COLORREF normalColour;
    COLORREF visitedColour;
    COLORREF hoverColour;
    const char* faceName;
    int pointSize;
    int weight;
};
