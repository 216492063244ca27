// Names as the console's command interpreter reads them from a batch file: in the
// system's OEM code page, whatever code page this program itself runs with.
#pragma once

#include <windows.h>

#include <cstddef>

#include "core/app_state.h"

// Room for a name in the console's spelling, from a text of kPathSize characters.
constexpr std::size_t kOemNameSize = 4 * kPathSize;

// The system's OEM code page: the page the console reads scripts in. Not GetOEMCP(),
// which answers 65001 in a program that runs with UTF-8.
UINT SystemOemCodePage();

// True when every character of the text has an exact spelling in that code page:
// by best fit “ would become " (which ends a quoting, so an & after it runs a
// command), and € the default character ? (a wildcard that joins other files).
bool SpelledExactlyInOem(const wchar_t* wide);

// The text in that code page into out (kOemNameSize bytes). False when it does not fit.
bool ToOem(const wchar_t* wide, char* out);
