// Names the program cannot take in. It runs with UTF-8 where the system allows it
// (Windows 10 1903 and later); elsewhere a name reaches it in the system's ANSI
// code page, where a character that page lacks comes as ? or as a look-alike, and
// the name would name no file or another. Such a name is refused with a box that
// says why, wherever it comes from.
#pragma once

#include <windows.h>

// True when the ANSI code page spells the text exactly (always, with UTF-8).
bool SpelledInAnsi(const wchar_t* text);

// The box that tells the user why such a name was refused.
void ShowUnspellableName(HWND owner);

// The argument text, or an empty one after the box when the wide argument text
// (the same cut of the wide command line) has a character the ANSI page lacks.
const char* SpelledArguments(const char* arguments, const wchar_t* wideArguments);
