// The About box as the main window opens it: template 105 run modally with
// AboutDlgProc, driven from inside its own modal loop.
#include "about/about_dialog.h"

#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "about/hyperlink.h"
#include "about/tooltip_relay.h"
#include "core/app_state.h"
#include "gtest/gtest.h"
#include "res/resource.h"
#include "tests/about/about_test_windows.h"
#include "tests/support/message_boxes.h"
#include "tests/support/unix_command.h"

namespace {

BOOL CALLBACK TakeAboutBox(HWND window, LPARAM param) {
    char caption[64] = {};
    char className[16] = {};
    GetWindowTextA(window, caption, sizeof(caption));
    GetClassNameA(window, className, sizeof(className));
    if (std::string(className) != "#32770" || caption != std::string(kWindowTitle) ||
        !IsWindowVisible(window) || IsMessageBox(window)) {
        return TRUE;
    }
    *reinterpret_cast<HWND*>(param) = window;
    return FALSE;
}

HWND FindAboutBox() {
    HWND found = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), TakeAboutBox, reinterpret_cast<LPARAM>(&found));
    return found;
}

// Runs the About box modally as the main window does. Each step runs once, from a
// timer tick of the box's own modal loop; a tick comes only when the loop has
// handled everything posted before it, so a step sees what the previous one posted
// handled by the dialog manager. Returns the dialog's result.
using Step = std::function<void(HWND)>;
std::vector<Step> pendingSteps;
int ticksAfterLastStep = 0;

bool stepRunning = false;

void CALLBACK RunNextStep(HWND, UINT, UINT_PTR, DWORD) {
    // A step that pumps messages itself must not see the next step start inside it.
    if (stepRunning) return;
    HWND box = FindAboutBox();
    if (box == nullptr) return;
    // A step that failed half-way must not leave the test waiting for ever.
    if (pendingSteps.empty()) {
        if (++ticksAfterLastStep == 150) {
            ADD_FAILURE() << "the About box was still open 3 s after the last step";
            SendMessageA(box, WM_CLOSE, 0, 0);
        }
        return;
    }
    Step step = std::move(pendingSteps.front());
    pendingSteps.erase(pendingSteps.begin());
    stepRunning = true;
    step(box);
    stepRunning = false;
}

INT_PTR RunAboutBox(HWND owner, std::vector<Step> steps) {
    pendingSteps = std::move(steps);
    ticksAfterLastStep = 0;
    UINT_PTR timer = SetTimer(nullptr, 0, 20, RunNextStep);
    INT_PTR result = DialogBoxParamA(appInstance, MAKEINTRESOURCEA(IDD_ABOUT), owner, AboutDlgProc, 0);
    KillTimer(nullptr, timer);
    pendingSteps.clear();
    return result;
}

HWND ChildWithText(HWND dialog, const char* className, DWORD style) {
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        char name[32] = {};
        GetClassNameA(child, name, sizeof(name));
        if (lstrcmpiA(name, className) == 0 &&
            (GetWindowLongPtrA(child, GWL_STYLE) & SS_TYPEMASK) == static_cast<LONG_PTR>(style)) {
            return child;
        }
    }
    return nullptr;
}

std::string TextOf(HWND window) {
    char text[512] = {};
    GetWindowTextA(window, text, sizeof(text));
    return text;
}

// A keystroke as the dialog's message loop receives it.
void PostKey(HWND dialog, UINT message, WPARAM key, LPARAM flags = 0) {
    PostMessageA(dialog, message, key, 1 | flags);
}

// A real click on the caption's close box, found by asking the window where it is.
bool ClickCloseBox(HWND box) {
    RECT rect;
    GetWindowRect(box, &rect);
    for (int y = rect.top; y < rect.top + 40; ++y) {
        for (int x = rect.right - 1; x > rect.right - 60; --x) {
            if (SendMessageA(box, WM_NCHITTEST, 0, MAKELPARAM(x, y)) == HTCLOSE) {
                SetCursorPos(x, y);
                INPUT clicks[2] = {};
                clicks[0].type = clicks[1].type = INPUT_MOUSE;
                clicks[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
                clicks[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
                return SendInput(2, clicks, sizeof(INPUT)) == 2;
            }
        }
    }
    return false;
}

}  // namespace

TEST(AboutBox, ShowsTheTemplateWithLinkAndTooltipAndOkClosesIt) {
    MoveCursorTo(FarCorner());
    TestParent owner;
    bool checked = false;
    INT_PTR result = RunAboutBox(owner, {[&](HWND box) {
        checked = true;
        EXPECT_EQ(owner.get(), GetWindow(box, GW_OWNER));
        LONG_PTR style = GetWindowLongPtrA(box, GWL_STYLE);
        EXPECT_EQ(WS_CAPTION | WS_SYSMENU, style & (WS_CAPTION | WS_SYSMENU));
        RECT client;
        GetClientRect(box, &client);
        RECT units = {0, 0, 219, 103};
        MapDialogRect(box, &units);
        EXPECT_EQ(units.right, client.right);
        EXPECT_EQ(units.bottom, client.bottom);

        HWND ok = GetDlgItem(box, IDOK);
        ASSERT_NE(nullptr, ok);
        EXPECT_EQ("OK", TextOf(ok));
        EXPECT_EQ(BS_DEFPUSHBUTTON, GetWindowLongPtrA(ok, GWL_STYLE) & 0x0F);
        HWND text = ChildWithText(box, "Static", SS_CENTER);
        ASSERT_NE(nullptr, text);
        EXPECT_EQ("VELK - Tresmal \n Version : 1.1 \n \n Written by the VELK team \n \n Visit ",
                  TextOf(text));
        EXPECT_NE(nullptr, ChildWithText(box, "Static", SS_ICON));

        ASSERT_NE(nullptr, aboutLink);
        ASSERT_NE(nullptr, aboutLink->window);
        EXPECT_EQ(box, GetParent(aboutLink->window));
        EXPECT_STREQ(kSiteAddress, aboutLink->target);
        EXPECT_STREQ(kSiteHostName, aboutLink->text);
        RECT linkRect;
        GetWindowRect(aboutLink->window, &linkRect);
        POINT topLeft = {linkRect.left, linkRect.top};
        ScreenToClient(box, &topLeft);
        EXPECT_EQ(75, topLeft.x);
        EXPECT_EQ(100, topLeft.y);
        LOGFONTA font = {};
        GetObjectA(aboutLink->font, sizeof(font), &font);
        EXPECT_STREQ("Tahoma", font.lfFaceName);
        EXPECT_EQ(1, font.lfUnderline);
        UpdateWindow(aboutLink->window);
        EXPECT_GT(CountPixels(aboutLink->window, kLinkNormalColour), 0)
            << DescribeLinkColours(aboutLink->window);

        ASSERT_NE(nullptr, aboutTips);
        EXPECT_EQ(aboutTips, currentRelay);
        char tipText[256] = {};
        TOOLINFOA tool = {};
        tool.cbSize = TTTOOLINFOA_V2_SIZE;
        tool.lpszText = tipText;
        ASSERT_TRUE(SendMessageA(aboutTips->tooltip, TTM_ENUMTOOLSA, 0, reinterpret_cast<LPARAM>(&tool)));
        EXPECT_EQ(aboutLink->window, reinterpret_cast<HWND>(tool.uId));
        EXPECT_STREQ(kSiteTip, tipText);

        // The tip shows over the link, as the mouse moves there.
        MoveCursorTo(CentreOnScreen(aboutLink->window));
        PostMessageA(aboutLink->window, WM_MOUSEMOVE, 0, MAKELPARAM(3, 3));
        EXPECT_TRUE(PumpUntil([] { return IsWindowVisible(aboutTips->tooltip) != FALSE; }, 5000))
            << "no tip over the link";
        MoveCursorTo(FarCorner());

        PostMessageA(ok, BM_CLICK, 0, 0);
    }});
    EXPECT_TRUE(checked) << "the About box never appeared";
    EXPECT_EQ(0, result);
    EXPECT_EQ(nullptr, aboutLink);
    EXPECT_EQ(nullptr, aboutTips);
    EXPECT_EQ(nullptr, currentRelay) << "the relay's hook went with the box";
}

TEST(AboutBox, EnterClosesItAndEscapeDoesNot) {
    TestParent owner;
    bool stayedOpen = false;
    INT_PTR result = RunAboutBox(owner, {[&](HWND box) {
                                             PostKey(box, WM_KEYDOWN, VK_ESCAPE);
                                             PostKey(box, WM_KEYUP, VK_ESCAPE, 0xC0000000);
                                         },
                                         [&](HWND box) {
                                             stayedOpen = IsWindowVisible(box) && aboutLink;
                                             PostKey(box, WM_KEYDOWN, VK_RETURN);
                                             PostKey(box, WM_KEYUP, VK_RETURN, 0xC0000000);
                                         }});
    EXPECT_TRUE(stayedOpen) << "Escape closed the About box";
    EXPECT_EQ(0, result);
    EXPECT_EQ(nullptr, aboutLink);
}

TEST(AboutBox, AltF4ClosesIt) {
    TestParent owner;
    bool opened = false;
    INT_PTR result = RunAboutBox(owner, {[&](HWND box) {
        opened = true;
        PostKey(box, WM_SYSKEYDOWN, VK_F4, KF_ALTDOWN << 16);
    }});
    EXPECT_TRUE(opened);
    EXPECT_EQ(0, result);
    EXPECT_EQ(nullptr, aboutTips);
}

TEST(AboutBox, TheCaptionsCloseBoxClosesIt) {
    TestParent owner;
    bool clicked = false;
    INT_PTR result = RunAboutBox(owner, {[&](HWND box) { clicked = ClickCloseBox(box); }});
    EXPECT_TRUE(clicked) << "no close box found on the caption";
    EXPECT_EQ(0, result);
    EXPECT_EQ(nullptr, aboutLink);
    MoveCursorTo(FarCorner());
}

TEST(AboutBox, SecondOpeningBuildsAFreshUnvisitedLinkAndTooltip) {
    TestParent owner;
    HWND firstLink = nullptr;
    HWND firstTooltip = nullptr;
    RunAboutBox(owner, {[&](HWND box) {
        firstLink = aboutLink->window;
        firstTooltip = aboutTips->tooltip;
        aboutLink->visited = true;  // as after a click
        SendMessageA(box, WM_CLOSE, 0, 0);
    }});
    ASSERT_NE(nullptr, firstLink);
    EXPECT_FALSE(IsWindow(firstLink));
    EXPECT_FALSE(IsWindow(firstTooltip));

    MoveCursorTo(FarCorner());
    RunAboutBox(owner, {[&](HWND box) {
        ASSERT_NE(nullptr, aboutLink);
        EXPECT_NE(firstLink, aboutLink->window);
        EXPECT_FALSE(aboutLink->visited);
        UpdateWindow(aboutLink->window);
        EXPECT_GT(CountPixels(aboutLink->window, kLinkNormalColour), 0)
            << DescribeLinkColours(aboutLink->window);
        EXPECT_EQ(0, CountPixels(aboutLink->window, kLinkVisitedColour));
        ASSERT_NE(nullptr, aboutTips);
        EXPECT_NE(nullptr, aboutTips->tooltip);
        EXPECT_EQ(1, SendMessageA(aboutTips->tooltip, TTM_GETTOOLCOUNT, 0, 0));
        SendMessageA(box, WM_CLOSE, 0, 0);
    }});
}

// Not a check: makes the pictures of the About box in docs/ when asked to, with
// VELK_SCREENSHOT_DIR naming a folder of the Linux side.
namespace {

void Shoot(HWND box, const std::string& file) {
    RECT area;
    GetWindowRect(box, &area);
    if (aboutTips != nullptr && IsWindowVisible(aboutTips->tooltip)) {
        RECT tip;
        GetWindowRect(aboutTips->tooltip, &tip);
        UnionRect(&area, &area, &tip);
    }
    InflateRect(&area, 8, 8);
    RedrawWindow(box, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    GdiFlush();
    // Wine hands painted pixels to the X server from its message loop.
    PumpUntil([] { return false; }, 400);
    char crop[64];
    std::snprintf(crop, sizeof(crop), "%ldx%ld+%ld+%ld", area.right - area.left,
                  area.bottom - area.top, area.left, area.top);
    std::string command = std::string("import -display \"$DISPLAY\" -window root -crop ") + crop +
                          " +repage '" + std::getenv("VELK_SCREENSHOT_DIR") + "/" + file + "'";
    EXPECT_EQ(0, RunUnixCommand(command)) << command;
}

}  // namespace

TEST(AboutBoxPictures, LinkInEachColourAndTheTooltip) {
    if (std::getenv("VELK_SCREENSHOT_DIR") == nullptr) {
        GTEST_SKIP() << "set VELK_SCREENSHOT_DIR to a Linux folder to make the pictures";
    }
    MoveCursorTo(FarCorner());
    TestParent owner(0, 0, 1024, 768);
    RunAboutBox(owner, {[&](HWND box) { Shoot(box, "about-box-link.png"); },
                        [&](HWND box) {
                            MoveCursorTo(CentreOnScreen(aboutLink->window));
                            PostMessageA(aboutLink->window, WM_MOUSEMOVE, 0, MAKELPARAM(3, 3));
                            PumpUntil([] { return IsWindowVisible(aboutTips->tooltip) != FALSE; }, 5000);
                            Shoot(box, "about-box-hover-tooltip.png");
                        },
                        [&](HWND box) {
                            MoveCursorTo(FarCorner());
                            PumpUntil([] { return !aboutLink->hovering; }, 3000);
                            aboutLink->visited = true;  // as after a click on the link
                            Shoot(box, "about-box-visited.png");
                            SendMessageA(box, WM_CLOSE, 0, 0);
                        }});
}
