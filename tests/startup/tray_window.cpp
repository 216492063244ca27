#include "tests/startup/tray_window.h"

#include <shellapi.h>

#include <vector>

#include "core/app_state.h"
#include "app/main_window.h"
#include "app/startup.h"
#include "app/tray.h"
#include "gtest/gtest.h"
#include "settings/settings_store.h"

namespace {

INT_PTR CALLBACK TestDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        appState.windowState = WindowState::Normal;
        SetPropA(window, kMainWindowMark, reinterpret_cast<HANDLE>(1));  // as the main window marks itself
        return TRUE;
    case WM_COPYDATA:
        return OnCopyData(window, reinterpret_cast<const COPYDATASTRUCT*>(lParam));
    case WM_SYSCOMMAND:
        return OnSysCommand(window, wParam);
    case kTrayMessage:
        return OnTrayMessage(window, lParam);
    default:
        OnTaskbarCreated(window, message);
        return FALSE;
    }
}

// An in-memory template: caption, system menu and minimise box, like the main window.
std::vector<WORD> DialogTemplate() {
    std::vector<WORD> words(sizeof(DLGTEMPLATE) / sizeof(WORD), 0);
    auto* dialog = reinterpret_cast<DLGTEMPLATE*>(words.data());
    dialog->style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_VISIBLE;
    dialog->cdit = 0;
    dialog->x = 10;
    dialog->y = 10;
    dialog->cx = 200;
    dialog->cy = 100;
    words.push_back(0);  // no menu
    words.push_back(0);  // the dialog class
    for (const char* c = kWindowTitle; *c; ++c) words.push_back(static_cast<WORD>(*c));
    words.push_back(0);
    return words;
}

NOTIFYICONDATAA IconRecord(HWND window) {
    NOTIFYICONDATAA icon{};
    icon.cbSize = NOTIFYICONDATAA_V1_SIZE;
    icon.hWnd = window;
    icon.uID = 103;
    return icon;
}

}  // namespace

bool TrayIconPresent(HWND window) {
    NOTIFYICONDATAA icon = IconRecord(window);
    return Shell_NotifyIconA(NIM_MODIFY, &icon) != FALSE;
}

void ForgetTrayIcon(HWND window) {
    NOTIFYICONDATAA icon = IconRecord(window);
    Shell_NotifyIconA(NIM_DELETE, &icon);
}

void TrayWindowTest::SetUp() {
    CleanVelkKey::SetUp();
    ResetAppState();
    appState.settings = CreateSettingsStore();
    ASSERT_NE(nullptr, appState.settings);
    std::vector<WORD> dialog = DialogTemplate();
    window = CreateDialogIndirectParamA(appInstance, reinterpret_cast<DLGTEMPLATE*>(dialog.data()),
                                        nullptr, TestDialogProc, 0);
    ASSERT_NE(nullptr, window);
    ASSERT_TRUE(IsWindowVisible(window));
}

void TrayWindowTest::TearDown() {
    if (window) {
        ForgetTrayIcon(window);
        DestroyWindow(window);
    }
    DestroySettingsStore(appState.settings);
    appState.settings = nullptr;
    ResetAppState();
    CleanVelkKey::TearDown();
}

void TrayWindowTest::SetMinToTray(bool on) {
    ASSERT_TRUE(VelkRegistry::WriteDword("MinToSysTray", on ? 1 : 0));
}

void TrayWindowTest::Tray(UINT mouseMessage) {
    SendMessageA(window, kTrayMessage, 103, mouseMessage);
}

void TrayWindowTest::Minimize() {
    SendMessageA(window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
}

namespace {
LRESULT CALLBACK StandInTaskbarProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COPYDATA) {
        HWND platform = reinterpret_cast<HWND>(GetWindowLongPtrA(window, GWLP_USERDATA));
        return platform ? SendMessageA(platform, message, wParam, lParam) : FALSE;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}
}  // namespace

StandInTaskbar::StandInTaskbar(Icons icons) {
    HWND platform = FindWindowA("Shell_TrayWnd", nullptr);
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = StandInTaskbarProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = "Shell_TrayWnd";
    RegisterClassA(&windowClass);
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.lpszClassName = "TrayNotifyWnd";
    RegisterClassA(&windowClass);
    taskbar_ = CreateWindowExA(WS_EX_TOOLWINDOW, "Shell_TrayWnd", "", WS_POPUP | WS_VISIBLE, 0, 738,
                               1024, 30, nullptr, nullptr, instance, nullptr);
    if (icons == PassIconsOn) SetWindowLongPtrA(taskbar_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(platform));
    notifyArea_ = CreateWindowExA(0, "TrayNotifyWnd", "", WS_CHILD | WS_VISIBLE, 900, 2, 120, 26,
                                  taskbar_, nullptr, instance, nullptr);
    SetWindowPos(taskbar_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

StandInTaskbar::~StandInTaskbar() {
    if (taskbar_) DestroyWindow(taskbar_);
}
