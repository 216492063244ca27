#include <windows.h>

#include "app/app_state.h"
#include "app/main_window.h"
#include "app/startup.h"
#include "settings/settings_store.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR arguments, int) {
    appInstance = instance;
    appState.settings = new SettingsStore();
    SetInitialSource(arguments);
    DialogBoxParamA(instance, "VELK", nullptr, MainDialogProc, 0);
    delete appState.settings;
    return 0;
}
