#include "tests/about/about_test_windows.h"

#include <cstdio>

#include "about/hyperlink.h"
#include "core/app_state.h"
#include "tests/support/message_boxes.h"

namespace {
constexpr char kParentClass[] = "VelkAboutTestParent";
constexpr UINT kMarker = WM_APP + 77;

void RegisterParentClass() {
    WNDCLASSEXA existing = {};
    existing.cbSize = sizeof(existing);
    if (GetClassInfoExA(appInstance, kParentClass, &existing)) return;
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = appInstance;
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = GetSysColorBrush(COLOR_WINDOW);
    windowClass.lpszClassName = kParentClass;
    RegisterClassExA(&windowClass);
}
}  // namespace

TestParent::TestParent(int x, int y, int width, int height) {
    RegisterParentClass();
    window_ = CreateWindowExA(WS_EX_TOPMOST, kParentClass, "About test parent",
                              WS_POPUP | WS_BORDER | WS_VISIBLE, x, y, width, height, nullptr,
                              nullptr, appInstance, nullptr);
    UpdateWindow(window_);
}

TestParent::~TestParent() { DestroyWindow(window_); }

int CountPixels(HWND window, COLORREF colour) {
    RECT client;
    GetClientRect(window, &client);
    HDC dc = GetDC(window);
    int count = 0;
    for (int y = client.top; y < client.bottom; ++y) {
        for (int x = client.left; x < client.right; ++x) {
            if (GetPixel(dc, x, y) == colour) ++count;
        }
    }
    ReleaseDC(window, dc);
    return count;
}

std::string DescribeLinkColours(HWND window) {
    char text[128];
    std::snprintf(text, sizeof(text), "blue %d, red %d, purple %d",
                  CountPixels(window, kLinkNormalColour), CountPixels(window, kLinkHoverColour),
                  CountPixels(window, kLinkVisitedColour));
    return text;
}

POINT CentreOnScreen(HWND window) {
    RECT rect;
    GetWindowRect(window, &rect);
    return POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

POINT FarCorner() { return POINT{1000, 740}; }

void MoveCursorTo(POINT where) { SetCursorPos(where.x, where.y); }

void DrainQueue() {
    bool seen = false;
    PostThreadMessageA(GetCurrentThreadId(), kMarker, 0, 0);
    PumpUntil(
        [&] {
            MSG msg;
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
                if (msg.hwnd == nullptr && msg.message == kMarker) {
                    seen = true;
                    break;
                }
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
            }
            return seen;
        },
        5000);
}
