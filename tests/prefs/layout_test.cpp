// The sheet as the user sees it: caption, icon and buttons, the page templates
// control by control, and the shown pages with no text cut off. When
// VELK_SCREENSHOT_DIR names a folder, the two pages are photographed into it.
#include <windows.h>
#include <commctrl.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "core/app_state.h"
#include "gtest/gtest.h"
#include "res/resource.h"
#include "tests/prefs/prefs_fixture.h"
#include "tests/prefs/sheet_driver.h"
#include "tests/support/unix_command.h"

namespace {

constexpr int kDirectory = 0;
constexpr int kGeneral = 1;
constexpr DWORD kShown = WS_CHILD | WS_VISIBLE;

struct Item {
    int id;
    std::string className;
    std::string text;
    int x, y, w, h;
    DWORD style;
};

struct Template {
    DWORD style = 0;
    int w = 0, h = 0;
    int pointSize = 0;
    std::string font;
    std::vector<Item> items;
};

// ---- reading a DIALOG template as the resource compiler stored it ----

class TemplateReader {
public:
    explicit TemplateReader(const BYTE* data) : p_(data) {}
    DWORD Dword() {
        DWORD v = *reinterpret_cast<const DWORD*>(p_);
        p_ += 4;
        return v;
    }
    WORD Word() {
        WORD v = *reinterpret_cast<const WORD*>(p_);
        p_ += 2;
        return v;
    }
    short Short() { return static_cast<short>(Word()); }
    // A name or an ordinal (0xFFFF and a number).
    std::string NameOrOrdinal() {
        if (*reinterpret_cast<const WORD*>(p_) == 0xFFFF) {
            Word();
            return "#" + std::to_string(Word());
        }
        return Text();
    }
    std::string Text() {
        std::string text;
        while (WORD c = Word()) text += static_cast<char>(c);
        return text;
    }
    void AlignDword() {
        while (reinterpret_cast<ULONG_PTR>(p_) % 4) ++p_;
    }
    void Skip(size_t n) { p_ += n; }

private:
    const BYTE* p_;
};

std::string ClassName(const std::string& stored) {
    if (stored == "#128") return "Button";
    if (stored == "#129") return "Edit";
    if (stored == "#130") return "Static";
    return stored;
}

Template ReadTemplate(int id) {
    Template result;
    HRSRC found = FindResourceA(appInstance, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(5));  // RT_DIALOG
    if (found == nullptr) return result;
    TemplateReader in(static_cast<const BYTE*>(LockResource(LoadResource(appInstance, found))));
    result.style = in.Dword();
    in.Dword();  // extended style
    WORD count = in.Word();
    in.Short();
    in.Short();
    result.w = in.Short();
    result.h = in.Short();
    in.NameOrOrdinal();  // menu
    in.NameOrOrdinal();  // class
    in.Text();           // caption
    if (result.style & DS_SETFONT) {
        result.pointSize = in.Word();
        result.font = in.Text();
    }
    for (WORD i = 0; i < count; ++i) {
        in.AlignDword();
        Item item;
        item.style = in.Dword();
        in.Dword();
        item.x = in.Short();
        item.y = in.Short();
        item.w = in.Short();
        item.h = in.Short();
        item.id = in.Short();
        item.className = ClassName(in.NameOrOrdinal());
        item.text = in.NameOrOrdinal();
        in.Skip(in.Word());  // creation data
        result.items.push_back(item);
    }
    return result;
}

void ExpectTemplate(int id, const std::vector<Item>& expected) {
    Template page = ReadTemplate(id);
    EXPECT_EQ(235, page.w);
    EXPECT_EQ(100, page.h);
    EXPECT_EQ(8, page.pointSize);
    EXPECT_EQ("MS Sans Serif", page.font);
    ASSERT_EQ(expected.size(), page.items.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        const Item& want = expected[i];
        const Item& got = page.items[i];
        SCOPED_TRACE("control " + std::to_string(i) + " \"" + want.text + "\"");
        EXPECT_EQ(want.id, got.id);
        EXPECT_EQ(0, lstrcmpiA(want.className.c_str(), got.className.c_str())) << got.className;
        EXPECT_EQ(want.text, got.text);
        EXPECT_EQ(want.x, got.x);
        EXPECT_EQ(want.y, got.y);
        EXPECT_EQ(want.w, got.w);
        EXPECT_EQ(want.h, got.h);
        EXPECT_EQ(want.style, got.style) << std::hex << "want 0x" << want.style << " got 0x" << got.style;
    }
}

// ---- the shown pages ----

std::string WindowText(HWND window) {
    char text[260] = "";
    GetWindowTextA(window, text, sizeof text);
    return text;
}

// Room that a control leaves for its text, in pixels, beside the box or frame
// that the platform draws.
LONG TextRoom(HWND control) {
    RECT client;
    GetClientRect(control, &client);
    char cls[16] = "";
    GetClassNameA(control, cls, sizeof cls);
    LONG width = client.right;
    if (lstrcmpiA(cls, "Button") != 0) return width;
    DWORD type = GetWindowLongA(control, GWL_STYLE) & BS_TYPEMASK;
    if (type == BS_GROUPBOX) return width - 2 * 8;  // the frame's corners on both sides
    return width - (GetSystemMetrics(SM_CXMENUCHECK) + 4);  // the check mark and its gap
}

// Every text of the page fits its control, and every control lies in the page,
// and the page in the sheet.
void ExpectNothingClipped(HWND sheet, HWND page) {
    RECT pageRect;
    GetWindowRect(page, &pageRect);
    RECT sheetClient;
    GetClientRect(sheet, &sheetClient);
    MapWindowPoints(sheet, nullptr, reinterpret_cast<POINT*>(&sheetClient), 2);
    RECT inSheet;
    IntersectRect(&inSheet, &pageRect, &sheetClient);
    EXPECT_TRUE(EqualRect(&inSheet, &pageRect)) << "the page reaches beyond the sheet";

    for (HWND control = GetWindow(page, GW_CHILD); control; control = GetWindow(control, GW_HWNDNEXT)) {
        std::string text = WindowText(control);
        SCOPED_TRACE("\"" + text + "\"");
        RECT rect, within;
        GetWindowRect(control, &rect);
        IntersectRect(&within, &rect, &pageRect);
        EXPECT_TRUE(EqualRect(&within, &rect)) << "the control reaches beyond the page";
        if (text.empty()) continue;

        HDC dc = GetDC(control);
        HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0)));
        SIZE extent;
        GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &extent);
        SelectObject(dc, old);
        ReleaseDC(control, dc);
        RECT client;
        GetClientRect(control, &client);
        EXPECT_LE(extent.cx, TextRoom(control)) << "text wider than its control";
        EXPECT_LE(extent.cy, client.bottom) << "text taller than its control";
    }
}

int CALLBACK NoteFamily(const LOGFONTA*, const TEXTMETRICA*, DWORD, LPARAM found) {
    *reinterpret_cast<bool*>(found) = true;
    return 0;
}

bool FontInstalled(const char* face) {
    LOGFONTA wanted = {};
    wanted.lfCharSet = DEFAULT_CHARSET;
    lstrcpynA(wanted.lfFaceName, face, LF_FACESIZE);
    bool found = false;
    HDC dc = GetDC(nullptr);
    EnumFontFamiliesExA(dc, &wanted, NoteFamily, reinterpret_cast<LPARAM>(&found), 0);
    ReleaseDC(nullptr, dc);
    return found;
}

// Photographs the sheet from the virtual display into VELK_SCREENSHOT_DIR.
void Photograph(HWND sheet, const char* name) {
    const char* folder = std::getenv("VELK_SCREENSHOT_DIR");
    if (folder == nullptr || *folder == '\0') return;
    RedrawWindow(sheet, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    RECT r;
    GetWindowRect(sheet, &r);
    std::string command = "import -display \"$DISPLAY\" -window root -crop " +
                          std::to_string(r.right - r.left) + "x" + std::to_string(r.bottom - r.top) +
                          "+" + std::to_string(r.left) + "+" + std::to_string(r.top) + " +repage '" +
                          folder + "/" + name + "'";
    EXPECT_EQ(0, RunUnixCommand(command)) << command;
}

using PreferencesLayout = PrefsFixture;

}  // namespace

TEST(PreferencesTemplates, DirectoryPageHasEveryControlAsDesigned) {
    ExpectTemplate(IDD_PREF_DIRECTORY, {
        {-1, "Button", "Destination Directory", 13, 9, 203, 42, kShown | BS_GROUPBOX | WS_GROUP},
        {IDC_PREF_SAME_AS_SOURCE, "Button", "Make Destination Directory same as Source Directory",
         20, 20, 193, 10, kShown | BS_AUTORADIOBUTTON},
        {IDC_PREF_USE_RECENT, "Button", "Default to Most Recently used Destination Directory",
         20, 36, 179, 10, kShown | BS_AUTORADIOBUTTON},
        {IDC_PREF_RECENT_LIMIT, "Edit", "", 19, 64, 13, 12,
         kShown | WS_BORDER | WS_TABSTOP | ES_NUMBER | ES_RIGHT},
        {-1, "Static", ": Most Recently used Destination Directory Limit", 35, 66, 153, 8,
         kShown | SS_LEFT | WS_GROUP},
    });
}

TEST(PreferencesTemplates, GeneralPageHasEveryControlAsDesigned) {
    ExpectTemplate(IDD_PREF_GENERAL, {
        {-1, "Button", "General", 11, 11, 213, 78, kShown | BS_GROUPBOX},
        {IDC_PREF_MIN_TO_TRAY, "Button", "Minimize to Systray", 21, 34, 135, 11,
         kShown | BS_AUTOCHECKBOX | BS_VCENTER | WS_TABSTOP},
        {IDC_PREF_SHELL_MENU, "Button", "Shell Integration   (Display Right Click Menu in Explorer)",
         21, 55, 187, 11, kShown | BS_AUTOCHECKBOX | BS_VCENTER | WS_TABSTOP},
        {IDC_PREF_RECOVERY_PARTS, "Edit", "", 21, 72, 16, 12,
         kShown | WS_BORDER | WS_TABSTOP | ES_NUMBER | ES_RIGHT},
        {-1, "Static", ": Parts the recovery volumes can rebuild (0 - 99)", 40, 74, 170, 8,
         kShown | SS_LEFT},
    });
}

TEST_F(PreferencesLayout, SheetHasItsCaptionIconAndTheStandardButtons) {
    ASSERT_TRUE(DriveSheet(OpenSheet(), [&](HWND sheet) {
        EXPECT_EQ(kSheetCaption, WindowText(sheet));
        HICON big = reinterpret_cast<HICON>(SendMessageA(sheet, WM_GETICON, ICON_BIG, 0));
        HICON small = reinterpret_cast<HICON>(SendMessageA(sheet, WM_GETICON, ICON_SMALL, 0));
        EXPECT_TRUE(big != nullptr || small != nullptr) << "the sheet shows no icon";
        EXPECT_EQ(2, TabCtrl_GetItemCount(PropSheet_GetTabControl(sheet)));
        for (int id : {IDOK, IDCANCEL, 0x3021}) {
            SCOPED_TRACE(id);
            HWND button = GetDlgItem(sheet, id);
            ASSERT_NE(nullptr, button);
            EXPECT_TRUE(IsWindowVisible(button));
        }
        HWND help = GetDlgItem(sheet, IDHELP);
        EXPECT_TRUE(help == nullptr || !IsWindowVisible(help)) << "the sheet has no Help button";
        PressSheetButton(sheet, PSBTN_CANCEL);
    }));
}

TEST_F(PreferencesLayout, BothPagesShowEveryTextUncut) {
    // Widths measured in a stand-in font say nothing about the pages as designed.
    if (!FontInstalled("MS Sans Serif"))
        GTEST_SKIP() << "the display has no \"MS Sans Serif\" (Debian package fonts-wine)";
    ASSERT_TRUE(DriveSheet(OpenSheet(), [&](HWND sheet) {
        HWND directory = ShowPage(sheet, kDirectory);
        {
            SCOPED_TRACE("Directory");
            ExpectNothingClipped(sheet, directory);
            Photograph(sheet, "prefs-directory.png");
        }
        HWND general = ShowPage(sheet, kGeneral);
        {
            SCOPED_TRACE("General");
            ExpectNothingClipped(sheet, general);
            Photograph(sheet, "prefs-general.png");
        }
        PressSheetButton(sheet, PSBTN_CANCEL);
    }));
}
