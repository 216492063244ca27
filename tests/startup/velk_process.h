// The real program, started as its own process beside this test program, and the
// ways to look at its window from outside.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "tests/support/velk_registry.h"

// velk.exe in the folder of this test program (the build's bin folder).
std::string VelkExePath();

// Top-level windows titled like the main window (dialogs of class "#32770").
std::vector<HWND> MainWindows();

struct VelkProcess {
    PROCESS_INFORMATION info{};
    HWND window = nullptr;  // found by WaitForWindow
};

// Every test starts and ends on a clean registry key and ends every process it
// started, whatever happened in between.
class VelkProcessTest : public CleanVelkKey {
protected:
    void SetUp() override;  // without Explorer's entry too
    void TearDown() override;

    // Starts velk.exe with the argument text (nothing when empty), in the given
    // current directory (the test's own when empty); null on failure.
    VelkProcess* Start(const std::string& arguments, const std::string& directory = "");
    // Starts a whole command line, as the shell runs a registered command.
    VelkProcess* StartCommandLine(const std::string& commandLine, const std::string& directory = "");
    // Starts it and waits until its main window is there and answers.
    VelkProcess* StartFirst(const std::string& arguments);
    // Waits for the process's main window; null when it did not come.
    HWND WaitForWindow(VelkProcess* process, DWORD timeoutMs = 20000);
    // Waits for the process to end; its exit code, or -1 when it did not end.
    int WaitForExit(VelkProcess* process, DWORD timeoutMs = 20000);
    bool Alive(VelkProcess* process);

    std::vector<VelkProcess*> processes;
};

// A visible message box of the process, waited for; null when none came.
HWND WaitForMessageBox(VelkProcess* process, DWORD timeoutMs = 20000);

// The text of a control of another process's window (WM_GETTEXT across processes).
std::string ControlText(HWND window, int id);
// The window's visible, minimised and tray-icon state as one line.
std::string WindowLook(HWND window);
