#pragma once

#include "core/app_state.h"

// The argument text of a command line: what follows the program's own name.
const char* ArgumentText(const char* commandLine);
const wchar_t* ArgumentText(const wchar_t* commandLine);

enum class ArgumentNames {
    Nothing,       // no existing file or directory
    ExistingPath,  // an existing file or directory, now in `path`
    TooLongPath,   // a path longer than Windows allows: refused with its box
};

// The path an argument text names: the text itself, or what lies inside one pair
// of enclosing double quotes (the shell quotes paths with blanks). `path` holds it
// only for ExistingPath, and is empty otherwise.
ArgumentNames PathFromArgument(const char* text, char (&path)[kPathSize]);
