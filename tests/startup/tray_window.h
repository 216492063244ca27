// In-process windows for the start-up and tray tests: a dialog whose procedure
// sends the hand-off, system-command, tray and taskbar messages to the branches
// under test, and a stand-in taskbar with a notification area.
#pragma once

#include <windows.h>

#include "tests/support/velk_registry.h"

// True while the tray icon (window, 103) exists: the shell modifies only an icon
// it holds.
bool TrayIconPresent(HWND window);
// Removes the icon behind the program's back, as a restarting shell forgets it.
void ForgetTrayIcon(HWND window);

// A visible dialog titled like the main window, with a settings store on a clean
// registry key. MinToSysTray is on, as the store's default sets it.
class TrayWindowTest : public CleanVelkKey {
protected:
    void SetUp() override;
    void TearDown() override;
    void SetMinToTray(bool on);
    // Sends the icon's callback message with the mouse message that happened over it.
    void Tray(UINT mouseMessage);
    void Minimize();

    HWND window = nullptr;
};

// A top-level "Shell_TrayWnd" with a "TrayNotifyWnd" child, created on top of the
// Z-order so that the program finds it before any taskbar of the platform. The
// shell's icon requests go to the first "Shell_TrayWnd" too: the stand-in passes
// them on to the platform's taskbar, or refuses them like a shell that has none.
class StandInTaskbar {
public:
    enum Icons { PassIconsOn, RefuseIcons };
    explicit StandInTaskbar(Icons icons = PassIconsOn);
    ~StandInTaskbar();
    HWND taskbar() const { return taskbar_; }
    HWND notifyArea() const { return notifyArea_; }

private:
    HWND taskbar_ = nullptr;
    HWND notifyArea_ = nullptr;
};
