#include "tests/prefs/prefs_fixture.h"

#include "core/app_state.h"
#include "app/main_window.h"
#include "app/tray.h"
#include "settings/preferences.h"
#include "settings/settings_store.h"
#include "tests/prefs/shell_entry.h"

Number ReadNumber(const char* name) {
    RawValue value = VelkRegistry::Read(name);
    if (!value.exists() || value.type != REG_DWORD || value.size() != sizeof(DWORD)) return std::nullopt;
    return value.Dword();
}

void PrefsFixture::SetUp() {
    CleanVelkKey::SetUp();
    StartStore();
}

void PrefsFixture::TearDown() {
    if (main_) {
        if (appState.windowState == WindowState::InTray) SetTrayIcon(main_, false);
        DestroyWindow(main_);
        // The main window ends the program's loop when it goes; a test run goes on.
        MSG quit;
        while (PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        }
    }
    if (owner_) DestroyWindow(owner_);
    EndStore();
    DeleteShellEntry();  // OK and Apply register this test program with Explorer
    CleanVelkKey::TearDown();
}

void PrefsFixture::StartStore() {
    ResetAppState();
    ResetRecentEnumeration();
    appState.settings = new SettingsStore();
}

void PrefsFixture::EndStore() {
    delete appState.settings;
    appState.settings = nullptr;
}

void PrefsFixture::RestartStoreWith(const char* name, DWORD value) {
    EndStore();
    ASSERT_TRUE(VelkRegistry::WriteDword(name, value));
    StartStore();
}

std::function<void()> PrefsFixture::OpenSheet() {
    if (owner_ == nullptr) {
        owner_ = CreateWindowExA(0, "STATIC", "owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 200,
                                 100, nullptr, nullptr, appInstance, nullptr);
    }
    HWND owner = owner_;
    return [owner] { ShowPreferences(owner); };
}

HWND PrefsFixture::CreateMainWindow() {
    main_ = CreateDialogParamA(appInstance, "VELK", nullptr, MainDialogProc, 0);
    return main_;
}
