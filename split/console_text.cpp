#include "split/console_text.h"

UINT SystemOemCodePage() {
    char number[8] = "";
    if (GetLocaleInfoA(LOCALE_SYSTEM_DEFAULT, LOCALE_IDEFAULTCODEPAGE, number, sizeof number) == 0) {
        return GetOEMCP();
    }
    UINT page = 0;
    for (const char* c = number; *c >= '0' && *c <= '9'; ++c) page = page * 10 + (*c - '0');
    return page != 0 ? page : GetOEMCP();
}

bool SpelledExactlyInOem(const wchar_t* wide) {
    UINT page = SystemOemCodePage();
    // A console that reads UTF-8 (a system set to it throughout) has had trouble
    // with such scripts: only ASCII names, which read the same in any page, go in.
    if (page == CP_UTF8) {
        for (const wchar_t* c = wide; *c != L'\0'; ++c) {
            if (*c >= 0x80) return false;
        }
        return true;
    }
    return SpelledExactly(page, wide);
}

bool ToOem(const wchar_t* wide, char* out) {
    return WideCharToMultiByte(SystemOemCodePage(), 0, wide, -1, out,
                               static_cast<int>(kOemNameSize), nullptr, nullptr) != 0;
}
