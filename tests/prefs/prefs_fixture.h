// A fresh settings store over a clean HKCU\Software\Velk for every test, and the
// owners the sheet is opened from.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>

#include "tests/support/velk_registry.h"

using Number = std::optional<DWORD>;

// A REG_DWORD value as stored; empty when missing or of another kind.
Number ReadNumber(const char* name);

class PrefsFixture : public CleanVelkKey {
protected:
    void SetUp() override;
    void TearDown() override;

    // Ends the store and starts a new one after storing value, as a new start would.
    void RestartStoreWith(const char* name, DWORD value);
    // Shows the sheet modally over a plain top-level owner.
    std::function<void()> OpenSheet();
    // The real main window, not shown modally; null when it cannot be created.
    HWND CreateMainWindow();

private:
    void StartStore();
    void EndStore();
    HWND owner_ = nullptr;
    HWND main_ = nullptr;
};
