// Windows and readings shared by the About tests: a plain visible parent window,
// colour counts read back from a window's own pixels, and the cursor moved for real.
#pragma once

#include <windows.h>

#include <string>

// A visible top-level window at a fixed place on the screen, for links and tools.
class TestParent {
public:
    explicit TestParent(int x = 120, int y = 120, int width = 360, int height = 200);
    ~TestParent();
    TestParent(const TestParent&) = delete;
    TestParent& operator=(const TestParent&) = delete;
    operator HWND() const { return window_; }
    HWND get() const { return window_; }

private:
    HWND window_;
};

// Pixels of the window's client area that are exactly this colour.
int CountPixels(HWND window, COLORREF colour);
// "blue 12, red 0, purple 0" for failure messages.
std::string DescribeLinkColours(HWND window);

// The screen point at the middle of a window.
POINT CentreOnScreen(HWND window);
// A screen point that lies outside every test window.
POINT FarCorner();
void MoveCursorTo(POINT where);

// Handles what the thread has queued now, including what posting a marker after it
// shows to be done: every message posted before the call has been dispatched.
void DrainQueue();
