// The program as a person meets it: velk.exe started as a process of its own on
// the virtual display, used through real X keyboard and mouse input (xdotool),
// and judged by what its windows and the files show.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/support/message_boxes.h"
#include "tests/support/velk_registry.h"

// One running velk.exe, started from the folder that holds it (Help looks there).
class VelkProcess {
public:
    explicit VelkProcess(const std::string& arguments = "");
    ~VelkProcess();
    VelkProcess(const VelkProcess&) = delete;
    VelkProcess& operator=(const VelkProcess&) = delete;

    bool started() const { return window_ != nullptr; }
    HWND window() const { return window_; }
    HWND control(int id) const { return GetDlgItem(window_, id); }
    DWORD id() const { return process_.dwProcessId; }
    // Closes the program with its Close button and waits for the process to end.
    bool CloseByButton();
    bool WaitForExit(DWORD timeoutMs = 20000);
    bool Running() const;

private:
    PROCESS_INFORMATION process_{};
    HWND window_ = nullptr;
};

// The folder of velk.exe (beside the test program).
std::string ProgramFolder();
// Starts velk.exe with arguments and returns its exit code (for later starts).
int RunVelk(const std::string& arguments, DWORD timeoutMs = 20000);

// Real input on the virtual display.
namespace Person {
void Click(HWND control);
void DoubleClick(HWND control);
void ClickAt(int x, int y);
inline void ClickAt(POINT at) { ClickAt(at.x, at.y); }
void Type(const std::string& text);
void Keys(const std::string& keys);  // xdotool key names: "Tab", "alt+space", "Return"
// Clicks into an edit box and replaces its text by typing.
void TypeInto(HWND box, const std::string& text);
}  // namespace Person

// Text of a control of another process (asked through the control itself).
std::string TextOf(HWND control);
// Items of a combo box's list in another process.
std::vector<std::string> ComboItems(HWND combo);
int ComboSelection(HWND combo);

// The next visible top-level window of the process whose caption and kind match,
// waited for; null when none came.
HWND WaitForMessageBox(DWORD processId, DWORD timeoutMs = 20000);
// (not message boxes; except: a dialog not to count, such as the main window).
HWND WaitForDialog(DWORD processId, const std::string& caption, DWORD timeoutMs = 20000,
                   HWND except = nullptr);
// Any visible top-level window with exactly this caption, waited for.
HWND WaitForWindow(const std::string& caption, DWORD timeoutMs = 20000);
// Makes sure the program's thread has handled everything sent to it so far.
bool Settled(HWND window);
// Waits until the window is gone or hidden.
bool WaitGone(HWND window, DWORD timeoutMs = 20000);
// Reads the box, presses the button with a real click, and waits for the box to go.
SeenBox AnswerBox(HWND box, int button);

// A test that starts with a clean registry key and the program running.
class RunningVelk : public CleanVelkKey {
protected:
    void SetUp() override;
    void TearDown() override;
    HWND window() { return velk_->window(); }
    HWND control(int id) { return velk_->control(id); }
    // The program's next message box: read, then answered with a click.
    SeenBox Box(int button = IDOK);
    std::unique_ptr<VelkProcess> velk_;
};
