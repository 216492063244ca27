#pragma once

#include "core/app_state.h"

// The argument text of a command line: what follows the program's own name.
const char* ArgumentText(const char* commandLine);
const wchar_t* ArgumentText(const wchar_t* commandLine);

// The path an argument text names: the text itself, or what lies inside one pair
// of enclosing double quotes (the shell quotes paths with blanks). True, with the
// path in `path`, when it fits in 259 characters and names an existing file or
// directory; otherwise false and `path` is empty.
bool PathFromArgument(const char* text, char (&path)[kPathSize]);
