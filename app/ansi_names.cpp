#include "app/ansi_names.h"

#include "core/app_state.h"

namespace {
constexpr char kUnspellableName[] =
    "The name of this file or folder has characters that VELK cannot use on this "
    "version of Windows (they are not in the system's ANSI code page).\n\n"
    "Rename it with other characters, or use VELK on Windows 10 version 1903 or "
    "later, where it takes every name.";
}  // namespace

bool SpelledInAnsi(const wchar_t* text) {
    return text == nullptr || GetACP() == CP_UTF8 || SpelledExactly(CP_ACP, text);
}

void ShowUnspellableName(HWND owner) {
    ShowMessage(owner, kUnspellableName, MB_OK | MB_ICONEXCLAMATION);
}

const char* SpelledArguments(const char* arguments, const wchar_t* wideArguments) {
    if (SpelledInAnsi(wideArguments)) return arguments;
    ShowUnspellableName(nullptr);
    return "";
}
