// The argument text of the command line and the path it names.
#include "app/command_line.h"

#include <shlwapi.h>

#include <cstring>
#include <type_traits>

namespace {

template <typename Char>
bool IsBlank(Char c) {
    return c != 0 && static_cast<std::make_unsigned_t<Char>>(c) <= 32;
}

template <typename Char>
const Char* ArgumentTextOf(const Char* commandLine) {
    static const Char kEmpty[1] = {};
    if (commandLine == nullptr) return kEmpty;
    const Char* p = commandLine;
    if (*p == '"') {
        ++p;
        while (*p != 0 && *p != '"') ++p;
        if (*p == '"') ++p;
    } else {
        while (*p != 0 && !IsBlank(*p)) ++p;
    }
    while (IsBlank(*p)) ++p;
    return p;
}

}  // namespace

const char* ArgumentText(const char* commandLine) { return ArgumentTextOf(commandLine); }

const wchar_t* ArgumentText(const wchar_t* commandLine) { return ArgumentTextOf(commandLine); }

ArgumentNames PathFromArgument(const char* text, char (&path)[kPathSize]) {
    path[0] = '\0';
    if (text == nullptr) return ArgumentNames::Nothing;
    const char* start = text;
    std::size_t length = std::strlen(text);
    // One pair of enclosing quotes, as the shell writes a path with blanks; blanks
    // after the closing quote (a shortcut's trailing space) go with them.
    if (length >= 2 && text[0] == '"') {
        std::size_t end = length;
        while (end > 1 && IsBlank(text[end - 1])) --end;
        if (end >= 2 && text[end - 1] == '"' &&
            std::memchr(text + 1, '"', end - 2) == nullptr) {
            start = text + 1;
            length = end - 2;
        }
    }
    if (length == 0) return ArgumentNames::Nothing;
    // More bytes than any path of 259 characters takes: measured no further.
    if (length >= kPathSize) return ArgumentNames::TooLongPath;
    std::memcpy(path, start, length);
    path[length] = '\0';
    ArgumentNames named = !FitsPath(path)            ? ArgumentNames::TooLongPath
                          : PathFileExistsA(path) ? ArgumentNames::ExistingPath
                                                  : ArgumentNames::Nothing;
    if (named != ArgumentNames::ExistingPath) path[0] = '\0';
    return named;
}
