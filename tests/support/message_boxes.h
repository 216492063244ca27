// Reads and answers the message boxes that the code under test shows on this
// thread, through a WH_CBT hook that sees each box as it is activated.
#pragma once

#include <windows.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

struct SeenBox {
    std::string text;
    std::string caption;
    UINT buttons;  // MB_OK, MB_RETRYCANCEL, MB_YESNO, ... as read off the box
    UINT icon;     // MB_ICONERROR, MB_ICONINFORMATION, ... or 0
    HWND owner;    // the box's owner window, or null
    int answer;    // the button pressed
    UINT style() const { return buttons | icon; }
};

// While it exists, every message box of this thread is recorded and answered:
// with the queued answers in order, then with the fallback (the box's Cancel or
// OK button), so a test never hangs on an unexpected box.
class MessageBoxAnswerer {
public:
    MessageBoxAnswerer();
    ~MessageBoxAnswerer();
    MessageBoxAnswerer(const MessageBoxAnswerer&) = delete;
    MessageBoxAnswerer& operator=(const MessageBoxAnswerer&) = delete;

    // Queue the button to press on the next box (IDOK, IDRETRY, IDCANCEL, IDYES, IDNO).
    MessageBoxAnswerer& Then(int button);
    // Run something while the next box is up (it is then answered as queued).
    MessageBoxAnswerer& ThenRun(std::function<void(const SeenBox&)> action, int button);

    const std::vector<SeenBox>& Seen() const { return seen_; }
    std::size_t Count() const { return seen_.size(); }
    const SeenBox& Last() const { return seen_.back(); }
    // Boxes answered by the fallback because no answer was queued.
    int Unexpected() const { return unexpected_; }
    // Texts of all boxes seen, one per line, for failure messages.
    std::string Describe() const;

private:
    static LRESULT CALLBACK HookProc(int code, WPARAM wParam, LPARAM lParam);
    void OnBoxActivated(HWND box);

    struct Answer {
        int button;
        std::function<void(const SeenBox&)> action;
    };
    HHOOK hook_;
    std::deque<Answer> answers_;
    std::vector<SeenBox> seen_;
    std::vector<HWND> handled_;
    int unexpected_ = 0;
    MessageBoxAnswerer* previous_;
};

// Reads a message box window (in this process or another).
SeenBox ReadMessageBox(HWND box);
// Presses one of a box's buttons, by its command identifier.
void PressBoxButton(HWND box, int button);
// True when window is a message box (a dialog of class "#32770" with a text 0xFFFF).
bool IsMessageBox(HWND window);
// Handles pending messages of this thread until done() or the time is up (ms).
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 10000);
