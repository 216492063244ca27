// Minimising into the notification area and the icon's mouse messages, on a real
// dialog of this process whose procedure hands those messages to the tray code.
#include <windows.h>

#include "core/app_state.h"
#include "app/tray.h"
#include "gtest/gtest.h"
#include "tests/startup/tray_window.h"

namespace {

const char* Name(WindowState state) {
    switch (state) {
    case WindowState::Normal: return "Normal";
    case WindowState::Minimized: return "Minimized";
    case WindowState::InTray: return "InTray";
    }
    return "?";
}

// The window, its state and the icon as one line, so a failing step shows all three.
std::string Describe(HWND window) {
    std::string text = std::string("state ") + Name(appState.windowState);
    text += IsWindowVisible(window) ? ", visible" : ", hidden";
    if (IsIconic(window)) text += ", minimised";
    text += TrayIconPresent(window) ? ", icon" : ", no icon";
    if (appState.trayRestoreArmed) text += ", armed";
    return text;
}

}  // namespace

TEST_F(TrayWindowTest, MinimiseWithThePreferenceOnHidesIntoTheTray) {
    SetMinToTray(true);
    Minimize();
    EXPECT_EQ("state InTray, hidden, icon", Describe(window));
}

TEST_F(TrayWindowTest, MinimiseWithThePreferenceOffIsTheOrdinaryMinimise) {
    SetMinToTray(false);
    Minimize();
    EXPECT_EQ("state Minimized, visible, minimised, no icon", Describe(window));
    SendMessageA(window, WM_SYSCOMMAND, SC_RESTORE, 0);
    EXPECT_EQ("state Normal, visible, no icon", Describe(window));
}

TEST_F(TrayWindowTest, ThePreferenceIsReadAtEachMinimise) {
    SetMinToTray(false);
    Minimize();
    SendMessageA(window, WM_SYSCOMMAND, SC_RESTORE, 0);
    SetMinToTray(true);
    Minimize();
    EXPECT_EQ("state InTray, hidden, icon", Describe(window));
}

TEST_F(TrayWindowTest, SystemCommandsCarryingTheSystemsLowBitsAreRecognised) {
    SetMinToTray(false);
    SendMessageA(window, WM_SYSCOMMAND, SC_MINIMIZE | 2, 0);
    EXPECT_EQ(WindowState::Minimized, appState.windowState);
    SendMessageA(window, WM_SYSCOMMAND, SC_RESTORE | 2, 0);  // a double-click on the caption
    EXPECT_EQ("state Normal, visible, no icon", Describe(window));
}

TEST_F(TrayWindowTest, SingleRightAndDoubleClickOnTheIcon) {
    Minimize();
    ASSERT_EQ("state InTray, hidden, icon", Describe(window));

    Tray(WM_LBUTTONDOWN);
    Tray(WM_LBUTTONUP);
    EXPECT_EQ("state InTray, hidden, icon", Describe(window)) << "after a single click";

    Tray(WM_RBUTTONDOWN);
    Tray(WM_RBUTTONUP);
    Tray(WM_MOUSEMOVE);
    EXPECT_EQ("state InTray, hidden, icon", Describe(window)) << "after a right click";

    Tray(WM_LBUTTONDOWN);
    Tray(WM_LBUTTONUP);
    EXPECT_EQ("state InTray, hidden, icon", Describe(window)) << "after the first release";
    Tray(WM_LBUTTONDBLCLK);
    EXPECT_EQ("state InTray, visible, icon, armed", Describe(window)) << "after the double-click";
    Tray(WM_LBUTTONUP);
    EXPECT_EQ("state Normal, visible, no icon", Describe(window)) << "after the last release";

    Tray(WM_LBUTTONUP);
    EXPECT_EQ("state Normal, visible, no icon", Describe(window)) << "a later release";
}

TEST_F(TrayWindowTest, WithoutTheNotificationAreaTheWindowStillGoesAndComesBack) {
    // The platform's taskbar here has no notification area: no flight, but the
    // window must not stay on screen while in the tray, nor hidden after it.
    HWND taskbar = FindWindowA("Shell_TrayWnd", nullptr);
    ASSERT_TRUE(taskbar == nullptr || !FindWindowExA(taskbar, nullptr, "TrayNotifyWnd", nullptr))
        << "this test needs a platform without a notification area window";
    EXPECT_FALSE(AnimateTray(window, true));
    EXPECT_FALSE(IsWindowVisible(window));
    EXPECT_FALSE(AnimateTray(window, false));
    EXPECT_TRUE(IsWindowVisible(window));

    Minimize();
    Tray(WM_LBUTTONDBLCLK);
    Tray(WM_LBUTTONUP);
    EXPECT_EQ("state Normal, visible, no icon", Describe(window));
}

TEST_F(TrayWindowTest, WithTheTaskbarWindowsTheCaptionFliesBothWays) {
    StandInTaskbar taskbar;
    ASSERT_NE(nullptr, taskbar.notifyArea());
    ASSERT_EQ(taskbar.taskbar(), FindWindowA("Shell_TrayWnd", nullptr))
        << "the platform's own taskbar is found before the stand-in";
    RECT before;
    GetWindowRect(window, &before);
    EXPECT_TRUE(AnimateTray(window, true));
    EXPECT_FALSE(IsWindowVisible(window));
    EXPECT_TRUE(AnimateTray(window, false));
    EXPECT_TRUE(IsWindowVisible(window));
    RECT after;
    GetWindowRect(window, &after);
    EXPECT_TRUE(EqualRect(&before, &after));

    Minimize();
    EXPECT_EQ("state InTray, hidden, icon", Describe(window));
    Tray(WM_LBUTTONDBLCLK);
    Tray(WM_LBUTTONUP);
    EXPECT_EQ("state Normal, visible, no icon", Describe(window));
}

TEST_F(TrayWindowTest, ARestartedTaskbarGetsTheIconBack) {
    const UINT taskbarCreated = RegisterWindowMessageA("TaskbarCreated");
    Minimize();
    ForgetTrayIcon(window);
    ASSERT_FALSE(TrayIconPresent(window));
    SendMessageA(window, taskbarCreated, 0, 0);
    EXPECT_EQ("state InTray, hidden, icon", Describe(window));
    // The icon brings the window back as before.
    Tray(WM_LBUTTONDBLCLK);
    Tray(WM_LBUTTONUP);
    EXPECT_EQ("state Normal, visible, no icon", Describe(window));
    // Out of the tray, a restart adds nothing.
    SendMessageA(window, taskbarCreated, 0, 0);
    EXPECT_FALSE(TrayIconPresent(window));
}

TEST_F(TrayWindowTest, OnlyTheTaskbarBroadcastIsTakenForIt) {
    EXPECT_TRUE(OnTaskbarCreated(window, RegisterWindowMessageA("TaskbarCreated")));
    EXPECT_FALSE(OnTaskbarCreated(window, WM_NULL));
    EXPECT_FALSE(OnTaskbarCreated(window, kTrayMessage));
    EXPECT_FALSE(TrayIconPresent(window));
}

TEST_F(TrayWindowTest, MinimisingAgainWhileInTheTrayKeepsTheIcon) {
    Minimize();
    Tray(WM_LBUTTONDBLCLK);  // out, waiting for the release...
    Minimize();              // ...and straight back in
    Tray(WM_LBUTTONUP);
    EXPECT_EQ("state InTray, hidden, icon", Describe(window));
}

TEST_F(TrayWindowTest, WhenTheShellRefusesTheIconMinimisingIsOrdinary) {
    // Hidden without an icon, the window could not be brought back by the user.
    StandInTaskbar shell(StandInTaskbar::RefuseIcons);
    ASSERT_FALSE(SetTrayIcon(window, true));
    Minimize();
    EXPECT_EQ("state Minimized, visible, minimised, no icon", Describe(window));
}
