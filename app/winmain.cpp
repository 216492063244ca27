// The program's entry: one working instance; later starts hand their argument over.
#include <windows.h>

#include "core/app_state.h"
#include "app/ansi_names.h"
#include "app/command_line.h"
#include "app/main_window.h"
#include "app/startup.h"
#include "settings/settings_store.h"
#include "settings/shell_integration.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    appInstance = instance;
    // Cut from the process's own command line, so the text is the same whatever
    // the run-time library made of it.
    const char* arguments = ArgumentText(GetCommandLineA());
    const wchar_t* wideArguments = ArgumentText(GetCommandLineW());

    // The role is decided once, by the session's instance mutex. A later start that
    // finds no window (an instance that never showed its window) starts as one more
    // instance instead.
    if (!BecomeFirstInstance() && RunningWindowOfThisSession()) {
        HandOffArguments(SpelledArguments(arguments, wideArguments));
        return 0;
    }

    appState.settings = CreateSettingsStore();
    // Explorer's entry is written when missing or stale, never for a passing copy;
    // a registry that refuses leaves the start as it is.
    KeepShellMenuEntry(appState.settings->GetShellMenu());
    SetInitialSource(SpelledArguments(arguments, wideArguments));
    // The window ends its modal loop with the quit message; see the main window.
    DialogBoxParamA(instance, "VELK", nullptr, MainDialogProc, 0);
    DestroySettingsStore(appState.settings);
    appState.settings = nullptr;
    return 0;
}
