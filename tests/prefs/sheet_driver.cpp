#include "tests/prefs/sheet_driver.h"

#include "gtest/gtest.h"
#include "res/resource.h"
#include "tests/support/message_boxes.h"

namespace {

// The apply button of the platform's property sheets.
constexpr int kApplyButtonId = 0x3021;
constexpr UINT kPollMs = 10;
constexpr DWORD kMustEndWithinMs = 5000;

struct Drive {
    const std::function<void(HWND)>* steps = nullptr;
    HWND sheet = nullptr;
    DWORD finishedAt = 0;
    bool forcedEnd = false;
    UINT_PTR timer = 0;
};
Drive* current = nullptr;

BOOL CALLBACK MatchSheet(HWND window, LPARAM found) {
    char caption[64] = "";
    GetWindowTextA(window, caption, sizeof caption);
    if (IsWindowVisible(window) && lstrcmpA(caption, kSheetCaption) == 0) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

void CALLBACK OnPoll(HWND, UINT, UINT_PTR timer, DWORD) {
    Drive* drive = current;
    if (drive == nullptr) return;
    if (drive->sheet == nullptr) {
        HWND sheet = FindSheet();
        if (sheet == nullptr) return;
        drive->sheet = sheet;
        KillTimer(nullptr, timer);  // the steps may pump messages themselves
        drive->timer = 0;
        (*drive->steps)(sheet);
        drive->finishedAt = GetTickCount();
        drive->timer = SetTimer(nullptr, 0, kPollMs, OnPoll);
        return;
    }
    // The steps are done: the sheet must have been ended by them.
    if (!IsWindow(drive->sheet)) return;
    if (GetTickCount() - drive->finishedAt > kMustEndWithinMs) {
        KillTimer(nullptr, timer);
        drive->timer = 0;
        drive->forcedEnd = true;
        PressSheetButton(drive->sheet, PSBTN_CANCEL);
    }
}

}  // namespace

HWND FindSheet() {
    HWND found = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), MatchSheet, reinterpret_cast<LPARAM>(&found));
    return found;
}

bool DriveSheet(const std::function<void()>& open, const std::function<void(HWND)>& steps) {
    Drive drive;
    drive.steps = &steps;
    Drive* outer = current;
    current = &drive;
    drive.timer = SetTimer(nullptr, 0, kPollMs, OnPoll);
    open();
    if (drive.timer) KillTimer(nullptr, drive.timer);
    current = outer;
    EXPECT_FALSE(drive.forcedEnd) << "the steps left the sheet open; it was cancelled";
    EXPECT_EQ(nullptr, FindSheet()) << "the sheet is still shown after its call returned";
    return drive.sheet != nullptr;
}

HWND PageAt(HWND sheet, int index) { return PropSheet_IndexToHwnd(sheet, index); }

HWND ShowPage(HWND sheet, int index) {
    PropSheet_SetCurSel(sheet, nullptr, index);
    return PropSheet_GetCurrentPageHwnd(sheet);
}

int CurrentPageIndex(HWND sheet) {
    return TabCtrl_GetCurSel(PropSheet_GetTabControl(sheet));
}

std::string TabText(HWND sheet, int index) {
    char text[64] = "";
    TCITEMA item = {};
    item.mask = TCIF_TEXT;
    item.pszText = text;
    item.cchTextMax = sizeof text;
    SendMessageA(PropSheet_GetTabControl(sheet), TCM_GETITEMA, index,
                 reinterpret_cast<LPARAM>(&item));
    return text;
}

void PressSheetButton(HWND sheet, int button) { PropSheet_PressButton(sheet, button); }

bool ApplyNow(HWND sheet) {
    EXPECT_TRUE(ApplyEnabled(sheet)) << "Apply pressed while disabled";
    PressSheetButton(sheet, PSBTN_APPLYNOW);
    bool done = PumpUntil([sheet] { return !ApplyEnabled(sheet); }, 5000);
    EXPECT_TRUE(done) << "Apply was not carried out";
    return done;
}

bool ApplyEnabled(HWND sheet) {
    HWND apply = GetDlgItem(sheet, kApplyButtonId);
    return apply != nullptr && IsWindowEnabled(apply);
}

void ClickControl(HWND page, int id) { SendMessageA(GetDlgItem(page, id), BM_CLICK, 0, 0); }

bool Checked(HWND page, int id) { return IsDlgButtonChecked(page, id) == BST_CHECKED; }

std::string ControlText(HWND page, int id) {
    char text[260] = "";
    GetDlgItemTextA(page, id, text, sizeof text);
    return text;
}

void TypeIntoLimitBox(HWND page, const std::string& text) {
    HWND box = GetDlgItem(page, IDC_PREF_RECENT_LIMIT);
    SendMessageA(box, EM_SETSEL, 0, -1);
    if (text.empty()) {
        SendMessageA(box, WM_CHAR, VK_BACK, 0);
        return;
    }
    for (char c : text) SendMessageA(box, WM_CHAR, static_cast<unsigned char>(c), 0);
}
