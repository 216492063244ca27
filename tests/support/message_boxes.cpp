#include "tests/support/message_boxes.h"

#include <algorithm>
#include <vector>

namespace {
MessageBoxAnswerer* activeAnswerer = nullptr;
constexpr int kMessageBoxTextId = 0xFFFF;

std::string WindowText(HWND window) {
    char text[1024] = "";
    GetWindowTextA(window, text, sizeof text);
    return text;
}

struct KnownIcon {
    LPCSTR id;
    UINT flag;
};
const KnownIcon kKnownIcons[] = {{IDI_HAND, MB_ICONERROR},
                                 {IDI_QUESTION, MB_ICONQUESTION},
                                 {IDI_EXCLAMATION, MB_ICONWARNING},
                                 {IDI_ASTERISK, MB_ICONINFORMATION}};

// The pixels of a screen rectangle, or of an icon drawn on a plain background.
std::vector<COLORREF> ScreenPixels(const RECT& rect) {
    std::vector<COLORREF> pixels;
    HDC screen = GetDC(nullptr);
    for (int y = rect.top; y < rect.bottom; ++y) {
        for (int x = rect.left; x < rect.right; ++x) pixels.push_back(GetPixel(screen, x, y));
    }
    ReleaseDC(nullptr, screen);
    return pixels;
}

std::vector<COLORREF> IconPixels(HICON icon, int width, int height, COLORREF background) {
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    HBRUSH brush = CreateSolidBrush(background);
    RECT all = {0, 0, width, height};
    FillRect(memory, &all, brush);
    DrawIconEx(memory, 0, 0, icon, width, height, 0, nullptr, DI_NORMAL);
    std::vector<COLORREF> pixels;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) pixels.push_back(GetPixel(memory, x, y));
    }
    SelectObject(memory, old);
    DeleteObject(brush);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return pixels;
}

// A box of another process: its icon handle means nothing here, so what the box
// shows on the screen is compared with each standard icon drawn the same way.
UINT IconOnScreen(HWND iconControl) {
    RECT rect;
    GetWindowRect(iconControl, &rect);
    int width = rect.right - rect.left, height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0 || width > 64 || height > 64) return 0;
    UINT found = 0;
    PumpUntil(
        [&] {
            HDC screen = GetDC(nullptr);
            COLORREF background = GetPixel(screen, rect.left - 1, rect.top);
            ReleaseDC(nullptr, screen);
            std::vector<COLORREF> shown = ScreenPixels(rect);
            for (const KnownIcon& k : kKnownIcons) {
                if (IconPixels(LoadIconA(nullptr, k.id), width, height, background) == shown) {
                    found = k.flag;
                }
            }
            return found != 0;
        },
        2000);
    return found;
}

UINT ReadIcon(HWND box) {
    DWORD boxProcess = 0;
    GetWindowThreadProcessId(box, &boxProcess);
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        char cls[32] = "";
        GetClassNameA(child, cls, sizeof cls);
        if (lstrcmpiA(cls, "Static") != 0) continue;
        if ((GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) != SS_ICON) continue;
        if (!(GetWindowLongA(child, GWL_STYLE) & WS_VISIBLE)) continue;
        if (boxProcess != GetCurrentProcessId()) return IconOnScreen(child);
        HICON shown = reinterpret_cast<HICON>(SendMessageA(child, STM_GETICON, 0, 0));
        if (!shown) continue;
        for (const KnownIcon& k : kKnownIcons) {
            if (LoadIconA(nullptr, k.id) == shown) return k.flag;
        }
    }
    return 0;
}

UINT ReadButtons(HWND box) {
    auto has = [box](int id) {
        HWND b = GetDlgItem(box, id);
        return b != nullptr && (GetWindowLongA(b, GWL_STYLE) & WS_VISIBLE);
    };
    if (has(IDABORT)) return MB_ABORTRETRYIGNORE;
    if (has(IDYES) && has(IDCANCEL)) return MB_YESNOCANCEL;
    if (has(IDYES)) return MB_YESNO;
    if (has(IDRETRY)) return MB_RETRYCANCEL;
    if (has(IDOK) && has(IDCANCEL)) return MB_OKCANCEL;
    return MB_OK;
}
}  // namespace

bool IsMessageBox(HWND window) {
    char cls[16] = "";
    GetClassNameA(window, cls, sizeof cls);
    if (lstrcmpA(cls, "#32770") != 0 || GetDlgItem(window, kMessageBoxTextId) == nullptr) {
        return false;
    }
    // A dialog of the program whose static controls carry the id -1 (0xFFFF) has the
    // same text id; a message box, unlike it, holds nothing but texts and buttons.
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        char childClass[16] = "";
        GetClassNameA(child, childClass, sizeof childClass);
        if (lstrcmpiA(childClass, "Static") != 0 && lstrcmpiA(childClass, "Button") != 0) {
            return false;
        }
    }
    return true;
}

SeenBox ReadMessageBox(HWND box) {
    SeenBox seen{};
    char text[2048] = "";
    GetDlgItemTextA(box, kMessageBoxTextId, text, sizeof text);
    seen.text = text;
    seen.caption = WindowText(box);
    seen.buttons = ReadButtons(box);
    seen.icon = ReadIcon(box);
    seen.owner = GetWindow(box, GW_OWNER);
    seen.answer = 0;
    return seen;
}

void PressBoxButton(HWND box, int button) {
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(box, button)));
}

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > timeoutMs) return false;
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        if (done()) break;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
    return true;
}

MessageBoxAnswerer::MessageBoxAnswerer() : previous_(activeAnswerer) {
    activeAnswerer = this;
    hook_ = SetWindowsHookExA(WH_CBT, HookProc, nullptr, GetCurrentThreadId());
}

MessageBoxAnswerer::~MessageBoxAnswerer() {
    UnhookWindowsHookEx(hook_);
    activeAnswerer = previous_;
}

MessageBoxAnswerer& MessageBoxAnswerer::Then(int button) {
    answers_.push_back({button, nullptr});
    return *this;
}

MessageBoxAnswerer& MessageBoxAnswerer::ThenRun(std::function<void(const SeenBox&)> action,
                                                int button) {
    answers_.push_back({button, std::move(action)});
    return *this;
}

std::string MessageBoxAnswerer::Describe() const {
    std::string all;
    for (const SeenBox& box : seen_) all += "[" + box.text + "]\n";
    return all.empty() ? "(no message box)" : all;
}

LRESULT CALLBACK MessageBoxAnswerer::HookProc(int code, WPARAM wParam, LPARAM lParam) {
    MessageBoxAnswerer* self = activeAnswerer;
    if (code == HCBT_ACTIVATE && self) {
        HWND window = reinterpret_cast<HWND>(wParam);
        if (IsMessageBox(window)) self->OnBoxActivated(window);
    } else if (code == HCBT_DESTROYWND && self) {
        // Window handles are reused: forget a box once it is gone.
        auto& handled = self->handled_;
        handled.erase(std::remove(handled.begin(), handled.end(), reinterpret_cast<HWND>(wParam)),
                      handled.end());
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

void MessageBoxAnswerer::OnBoxActivated(HWND box) {
    // A box is activated again when focus comes back to it; answer it once.
    if (std::find(handled_.begin(), handled_.end(), box) != handled_.end()) return;
    handled_.push_back(box);
    SeenBox seen = ReadMessageBox(box);
    Answer answer{0, nullptr};
    if (!answers_.empty()) {
        answer = std::move(answers_.front());
        answers_.pop_front();
    } else {
        ++unexpected_;
        answer.button = GetDlgItem(box, IDCANCEL) ? IDCANCEL
                         : GetDlgItem(box, IDNO)  ? IDNO
                                                  : IDOK;
    }
    seen.answer = answer.button;
    seen_.push_back(seen);
    if (answer.action) answer.action(seen_.back());
    PressBoxButton(box, answer.button);
}
