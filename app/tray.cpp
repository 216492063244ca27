// Minimising into the notification area and coming back out of it.
#include "app/tray.h"

#include <shellapi.h>

#include "core/app_state.h"
#include "res/resource.h"
#include "settings/settings_store.h"

// The icon record of the platform's first form, as every shell version takes it.
#if defined(_WIN32) && !defined(_WIN64)
static_assert(NOTIFYICONDATAA_V1_SIZE == 88, "first form of the icon record is 88 bytes");
#endif

namespace {

bool MinimizeToTrayWanted() {
    return appState.settings != nullptr && appState.settings->GetMinToTray();
}

NOTIFYICONDATAA IconRecord(HWND window) {
    NOTIFYICONDATAA icon{};
    icon.cbSize = NOTIFYICONDATAA_V1_SIZE;
    icon.hWnd = window;
    icon.uID = IDI_VELK;
    return icon;
}

// The shell modifies only an icon it holds; an add that timed out may have
// happened all the same, and an icon from an earlier minimise is still there.
bool TrayIconExists(HWND window) {
    NOTIFYICONDATAA icon = IconRecord(window);
    return Shell_NotifyIconA(NIM_MODIFY, &icon) != FALSE;
}

}  // namespace

bool AnimateTray(HWND window, bool toTray) {
    RECT windowRect;
    GetWindowRect(window, &windowRect);  // also valid while the window is hidden
    RECT trayRect;
    HWND taskbar = FindWindowA("Shell_TrayWnd", nullptr);
    HWND notifyArea = taskbar ? FindWindowExA(taskbar, nullptr, "TrayNotifyWnd", nullptr) : nullptr;
    bool animated = notifyArea != nullptr && GetWindowRect(notifyArea, &trayRect);
    // Without the taskbar the flight is left out, but the window still goes or comes
    // back: hidden with no icon, or shown while in the tray, it would be lost.
    if (toTray) {
        if (animated) DrawAnimatedRects(window, IDANI_CAPTION, &windowRect, &trayRect);
        ShowWindow(window, SW_HIDE);
    } else {
        if (animated) DrawAnimatedRects(window, IDANI_CAPTION, &trayRect, &windowRect);
        ShowWindow(window, SW_SHOW);
    }
    return animated;
}

HICON SmallProgramIcon() {
    // The image made for the small size (16, or 24 at 144 DPI), not the 32 shrunk.
    return static_cast<HICON>(LoadImageA(appInstance, MAKEINTRESOURCEA(IDI_VELK), IMAGE_ICON,
                                         GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON),
                                         LR_SHARED));
}

bool SetTrayIcon(HWND window, bool add) {
    NOTIFYICONDATAA icon = IconRecord(window);
    if (add) {
        icon.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
        icon.uCallbackMessage = kTrayMessage;
        icon.hIcon = SmallProgramIcon();
        CopyText(icon.szTip, sizeof icon.szTip, kWindowTitle);
    }
    return Shell_NotifyIconA(add ? NIM_ADD : NIM_DELETE, &icon) != FALSE;
}

INT_PTR OnSysCommand(HWND window, WPARAM command) {
    // The low four bits are the system's own; they are set, for one, when the
    // command comes from a double-click on the caption.
    switch (command & 0xFFF0) {
    case SC_MINIMIZE:
        if (MinimizeToTrayWanted()) {
            // Only with an icon to come back through may the window disappear.
            if (SetTrayIcon(window, true) || TrayIconExists(window)) {
                AnimateTray(window, true);
                // A double-click still waiting for its release belongs to an earlier
                // way out; it must not bring the window back as it goes in.
                appState.trayRestoreArmed = false;
                SetWindowLongPtrA(window, DWLP_MSGRESULT, 0);
                appState.windowState = WindowState::InTray;
                return TRUE;
            }
        }
        appState.windowState = WindowState::Minimized;
        return FALSE;
    case SC_RESTORE:
        appState.windowState = WindowState::Normal;
        return FALSE;
    default:
        return FALSE;
    }
}

INT_PTR OnTrayMessage(HWND window, LPARAM mouseMessage) {
    switch (static_cast<UINT>(mouseMessage)) {
    case WM_LBUTTONDBLCLK:
        // The icon and the state stay until the release that ends the double-click.
        AnimateTray(window, false);
        appState.trayRestoreArmed = true;
        break;
    case WM_LBUTTONUP:
        if (appState.trayRestoreArmed) {
            appState.trayRestoreArmed = false;
            SetTrayIcon(window, false);
            appState.windowState = WindowState::Normal;
        }
        break;
    default:
        break;  // the icon has no menu
    }
    return FALSE;
}

bool OnTaskbarCreated(HWND window, UINT message) {
    static const UINT taskbarCreated = RegisterWindowMessageA("TaskbarCreated");
    if (taskbarCreated == 0 || message != taskbarCreated) return false;
    // A restarted shell has forgotten the icon; without it a window in the tray
    // could come back only through a later start.
    if (appState.windowState == WindowState::InTray) SetTrayIcon(window, true);
    return true;
}
