// The program's shared types, constants and process-wide state. Every subsystem
// includes this one header; nothing here depends on any subsystem.
#pragma once

#include <windows.h>
#include <cstddef>

class SettingsStore;

// Windows takes a path of at most 259 UTF-16 characters (MAX_PATH with its
// terminator). A path buffer holds any such path in the widest code page the
// program may run with: UTF-8, where one UTF-16 character takes at most three
// bytes (a pair of surrogates, two characters, takes four), against two in the
// double-byte code pages. So no path that Windows could open is ever cut to fit;
// what is longer in characters is no path and is refused whole.
constexpr std::size_t kPathCharacters = MAX_PATH - 1;         // 259
constexpr std::size_t kPathSize = 3 * kPathCharacters + 1;  // 778 bytes

// Caption of the main window, the About box and the message boxes; the text by
// which a later start finds the running window; second line of the merge script.
constexpr char kWindowTitle[] = "VELK - Tresmal Ver 1.1";
// Window property the main window sets on itself, so that a later start hands its
// argument to it and to no other window of the same title.
constexpr char kMainWindowMark[] = "VelkMainWindow";
constexpr ULONG_PTR kHandOffTag = 0x12345678;  // dwData of the single-instance WM_COPYDATA
constexpr UINT kTrayMessage = WM_USER + 1000;  // 2024: callback message of the tray icon

constexpr DWORD kFloppySplitSize = 1457664;  // the "1.44 MB (Floppy Disk)" preset

enum class WindowState : int { Normal = 1, Minimized = 2, InTray = 3 };

// Results of the settings store's readers (numbers and codes share one result).
constexpr DWORD StatusOk = 0;
constexpr DWORD StatusRegistryError = 1000;
constexpr DWORD StatusNotFound = 2000;
constexpr DWORD StatusBadIndex = 3000;
constexpr DWORD StatusInitWriteFailed = 5000;

// Results of the split engine: 0 for success, 1000 for failure or cancel.
constexpr int kEngineOk = 0;
constexpr int kEngineCancelled = 1000;

struct AppState {
    char sourcePath[kPathSize];
    char destDir[kPathSize];
    // The source may be of any size the file system holds; a part is at most
    // 4294967295 bytes, which is also the largest file FAT32 stores.
    ULONGLONG fileSize;
    DWORD splitSize;
    ULONGLONG partCount;
    WindowState windowState;
    bool trayRestoreArmed;
    SettingsStore* settings;
    // True from a Split click to the end of its run. The run's message boxes have
    // no owner, so messages keep arriving; nothing may change the state meanwhile.
    bool runActive;
};

extern AppState appState;

// One shared buffer in which messages, paths and script pieces are formed just
// before use; a text formed here is used before anything else may form another.
extern char scratchText[kPathSize];

// The module whose resources (templates, icon 103) the windows load.
extern HINSTANCE appInstance;

// Puts appState back to its values at process start (settings pointer kept).
void ResetAppState();

// Texts are ANSI: in a double-byte code page (Japanese 932, Chinese 936 and 950,
// Korean 949) a character may be two bytes, and its second byte may equal '\\',
// '^' or '|'; in UTF-8 (the program's code page where the system allows it) a
// character is one to four bytes. The helpers below are the one place that steps
// through a text: by character, never by byte. Everything else cuts, appends and
// scans through them. Sizes are bytes: 259 bytes hold fewer characters in UTF-8.

// Copies src into dst of the given capacity, never beyond it. Returns false when
// src did not fit; dst then holds as many whole characters of it as fit, terminated.
bool CopyText(char* dst, std::size_t capacity, const char* src);
template <std::size_t N>
bool CopyText(char (&dst)[N], const char* src) {
    return CopyText(dst, N, src);
}

// True when the path's last character is a backslash (not the second byte of a
// double-byte character such as 表, 0x95 0x5C in code page 932).
bool EndsInBackslash(const char* path);

// The first character of text that is one of the ASCII characters of set,
// or null when there is none.
const char* FindCharIn(const char* text, const char* set);

// Appends a backslash to the path in a buffer of the given capacity unless it ends
// in one already, never beyond the buffer (the shell's own helper does not look at
// the buffer's size). False when there was no room.
bool AddBackslash(char* path, std::size_t capacity);
template <std::size_t N>
bool AddBackslash(char (&path)[N]) {
    return AddBackslash(path, N);
}

// printf-style formatting into a fixed buffer, never beyond it. Returns false when
// the text was cut to fit (after its last whole character).
bool FormatText(char* dst, std::size_t capacity, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

// Characters of the text as Windows counts them in a path (UTF-16 units).
std::size_t PathCharacters(const char* text);
// True when text is a path Windows could take whole: at most kPathCharacters
// characters (and so it fits a path buffer).
bool FitsPath(const char* text);
// Copies a path into a path buffer only when it fits whole; otherwise dst is left
// as it was and the result is false.
bool CopyPath(char (&dst)[kPathSize], const char* src);
// The box for a path longer than Windows allows: nothing is done with it.
void ShowPathTooLong(HWND owner);

// True when the UTF-16 text goes into the code page and comes back unchanged: no
// character spelled by best fit (“ as ") or by the default character (? for 数).
bool SpelledExactly(UINT codePage, const wchar_t* text);

// A message box with the program's caption.
int ShowMessage(HWND owner, const char* text, UINT flags);

// The dialogs' font, 8-point "MS Sans Serif", is 13 pixels high at 96 DPI. At a
// higher DPI the dialogs grow with the font the system finds for it, which is not
// always in step with the DPI itself (a bitmap font has a few sizes only).
constexpr int kFontHeightAt96Dpi = 13;
// A length in pixels at 96 DPI, grown as the dialog has grown with its font.
int ScaleToDialog(HWND dialog, int pixelsAt96Dpi);
// Where the dialog has grown, its icon controls show the icon's image made for
// the grown size (48 pixels at 144 DPI) rather than the 32 x 32 the template names.
void ScaleIconsToDialog(HWND dialog, int iconId);
