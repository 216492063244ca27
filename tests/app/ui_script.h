// Drives the modal windows of this thread step by step from a thread timer. The
// modal loops of dialogs and message boxes dispatch the timer, so each step runs
// while the code under test waits in such a loop: a step waits for its condition
// (a dialog shown, a text changed), then acts.
#pragma once

#include <windows.h>

#include <deque>
#include <functional>
#include <string>

class UiScript {
public:
    explicit UiScript(DWORD timeoutMs = 30000);
    ~UiScript();
    UiScript(const UiScript&) = delete;
    UiScript& operator=(const UiScript&) = delete;

    // Adds a step: once ready() holds, act() runs (once).
    UiScript& When(const std::string& name, std::function<bool()> ready,
                   std::function<void()> act);
    // What to do when a step waits too long, or the modal loop outlives the last step
    // by as long (close what is open); the test fails.
    UiScript& OnTimeout(std::function<void()> rescue);

    bool Finished() const { return steps_.empty(); }
    // Name of the step still waiting, for failure messages.
    std::string Waiting() const { return steps_.empty() ? "(none)" : steps_.front().name; }

private:
    struct Step {
        std::string name;
        std::function<bool()> ready;
        std::function<void()> act;
    };
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD);
    void RunReadySteps();

    std::deque<Step> steps_;
    std::function<void()> rescue_;
    UINT_PTR timer_ = 0;
    DWORD deadline_;
    DWORD timeoutMs_;
    bool running_ = false;
    bool timedOut_ = false;
};

// A visible top-level window of this thread with the given class and caption
// (a null caption matches any), or null.
HWND FindThreadWindow(const char* className, const char* caption);
// A visible top-level window of this thread owned by `owner`, or null.
HWND FindOwnedWindow(HWND owner);
// The text of a window or of a dialog's control.
std::string WindowText(HWND window);
std::string ItemText(HWND dialog, int id);
