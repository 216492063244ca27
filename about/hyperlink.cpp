#include "about/hyperlink.h"

#include <shellapi.h>

#include <cstring>

#include "core/app_state.h"

namespace {

constexpr char kClassName[] = "HyperLinkWnd";
constexpr char kDefaultFace[] = "MS Sans Serif";
constexpr int kDefaultPointSize = 8;
constexpr int kDefaultWeight = 400;
constexpr UINT_PTR kHoverTimer = 1000;
constexpr UINT kHoverInterval = 100;  // ms between two looks at the cursor
constexpr WORD kHelpProgramHandCursor = 106;

static_assert(sizeof(void*) != 4 || sizeof(WNDCLASSEXA) == 48, "WNDCLASSEXA is 48 bytes");
static_assert(sizeof(void*) != 4 || sizeof(OSVERSIONINFOA) == 148, "OSVERSIONINFOA is 148 bytes");

// Registers "HyperLinkWnd" unless it exists already. The brush is made only for a
// registration that is going to happen, so later links leak nothing.
bool RegisterHyperLinkClass(HCURSOR cursor) {
    WNDCLASSEXA existing = {};
    existing.cbSize = sizeof(existing);
    if (GetClassInfoExA(appInstance, kClassName, &existing)) return false;

    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
    windowClass.lpfnWndProc = HyperLinkWndProc;
    windowClass.hInstance = appInstance;
    windowClass.hCursor = cursor;
    windowClass.hbrBackground = CreateSolidBrush(GetSysColor(COLOR_BTNFACE));
    windowClass.lpszClassName = kClassName;
    if (RegisterClassExA(&windowClass) == 0) {
        DeleteObject(windowClass.hbrBackground);
        return false;
    }
    return true;
}

// The class outlives every link, and a cursor taken from a module dies with the
// module: the class keeps its own reference to the help program for good.
void KeepModuleForProcess(HMODULE module) {
    char path[kPathSize];
    DWORD length = GetModuleFileNameA(module, path, sizeof(path));
    if (length == 0 || length >= sizeof(path)) return;
    LoadLibraryA(path);
}

void OnPaint(HWND window, HyperLink* link) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    RECT client;
    GetClientRect(window, &client);
    SetBkMode(dc, TRANSPARENT);
    COLORREF colour = link->hovering  ? link->hoverColour
                      : link->visited ? link->visitedColour
                                      : link->normalColour;
    SetTextColor(dc, colour);
    HGDIOBJ oldFont = SelectObject(dc, link->font);
    DrawTextA(dc, link->text, -1, &client, DT_CENTER | DT_VCENTER);
    SelectObject(dc, oldFont);
    EndPaint(window, &paint);
}

void OnMouseMove(HWND window, HyperLink* link) {
    if (link->hovering) return;
    link->hovering = true;
    SetTimer(window, kHoverTimer, kHoverInterval, nullptr);
    SendMessageA(window, WM_MOUSEHOVER, 0, 0);
}

// The cursor is polled rather than tracked, so leaving is noticed on the next tick.
void OnTimer(HWND window, HyperLink* link) {
    POINT cursor;
    GetCursorPos(&cursor);
    ScreenToClient(window, &cursor);
    RECT client;
    GetClientRect(window, &client);
    if (PtInRect(&client, cursor)) return;
    link->hovering = false;
    KillTimer(window, kHoverTimer);
    SendMessageA(window, WM_MOUSELEAVE, 0, 0);
}

void OnLeftButtonUp(HWND window, HyperLink* link) {
    link->visited = true;
    HINSTANCE result = ShellExecuteA(nullptr, "open", link->target, nullptr, nullptr, SW_SHOW);
    if (reinterpret_cast<INT_PTR>(result) <= 32) {
        MessageBoxA(link->parent, "Error Opening the Browser", "Error", MB_ICONERROR);
    }
    InvalidateRect(window, nullptr, TRUE);
}

}  // namespace

WindowsFamily ClassifyWindowsVersion(const OSVERSIONINFOA& version) {
    switch (version.dwPlatformId) {
        case VER_PLATFORM_WIN32s:
            return FamilyWin32s;
        case VER_PLATFORM_WIN32_WINDOWS:
            if (version.dwMajorVersion != 4) return FamilyWindowsMe;
            if (version.dwMinorVersion == 0) return FamilyWindows95;
            if (version.dwMinorVersion < 90) return FamilyWindows98;
            return FamilyWindowsMe;
        case VER_PLATFORM_WIN32_NT:
            return FamilyWindowsNT;
        default:
            return FamilyUnknown;
    }
}

WindowsFamily GetWindowsFamily() {
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof(version);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if (!GetVersionExA(&version)) return FamilyUnknown;
#pragma GCC diagnostic pop
    return ClassifyWindowsVersion(version);
}

HCURSOR LoadHelpProgramCursor(HMODULE* module) {
    *module = nullptr;
    char path[kPathSize];
    UINT length = GetWindowsDirectoryA(path, sizeof(path));
    if (length == 0 || length >= sizeof(path)) return nullptr;
    if (!CopyText(path + length, sizeof(path) - length, "\\winhlp32.exe")) return nullptr;
    *module = LoadLibraryA(path);
    if (*module == nullptr) return nullptr;
    return LoadCursorA(*module, MAKEINTRESOURCEA(kHelpProgramHandCursor));
}

HyperLink::HyperLink(HWND parentWindow, const char* targetText, const char* shownText,
                     COLORREF normal, COLORREF visitedLink, COLORREF hover, const char* face,
                     int points, int fontWeight, int styleFlags, int x, int y)
    : window(nullptr),
      cursorModule(nullptr),
      font(nullptr),
      visited(false),
      hovering(false),
      parent(parentWindow),
      target(targetText),
      text(shownText),
      normalColour(normal),
      visitedColour(visitedLink),
      hoverColour(hover),
      faceName(face),
      pointSize(points),
      weight(fontWeight) {
    if (parentWindow == nullptr || targetText == nullptr) return;

    if (text == nullptr) text = target;
    if (normalColour == 0) normalColour = kLinkNormalColour;
    if (visitedColour == 0) visitedColour = kLinkVisitedColour;
    if (hoverColour == 0) hoverColour = kLinkHoverColour;
    if (faceName != nullptr) {
        if (pointSize < 1) pointSize = kDefaultPointSize;
    } else {
        faceName = kDefaultFace;
        pointSize = kDefaultPointSize;
    }
    if (weight < 1 || weight > 900) {
        weight = kDefaultWeight;
        styleFlags = 0;
    }

    HWND desktop = GetDesktopWindow();
    HDC desktopDc = GetDC(desktop);
    int pixelsPerInch = GetDeviceCaps(desktopDc, LOGPIXELSY);
    ReleaseDC(desktop, desktopDc);
    font = CreateFontA(-(pointSize * pixelsPerInch) / 72, 0, 0, 0, weight,
                       (styleFlags & kLinkItalic) ? 1 : 0, (styleFlags & kLinkUnderline) ? 1 : 0,
                       (styleFlags & kLinkStrikeOut) ? 1 : 0, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, PROOF_QUALITY, VARIABLE_PITCH | FF_SWISS, faceName);

    desktopDc = GetDC(desktop);
    HGDIOBJ oldFont = SelectObject(desktopDc, font);
    SIZE size = {};
    GetTextExtentPoint32A(desktopDc, text, static_cast<int>(std::strlen(text)), &size);
    SelectObject(desktopDc, oldFont);
    ReleaseDC(desktop, desktopDc);

    HCURSOR cursor = nullptr;
    if (GetWindowsFamily() == FamilyWindows95) cursor = LoadHelpProgramCursor(&cursorModule);
    bool cursorFromHelpProgram = cursor != nullptr;
    if (cursor == nullptr) cursor = LoadCursorA(nullptr, IDC_HAND);
    // Windows 95 itself has no hand among its system cursors.
    if (cursor == nullptr) cursor = LoadCursorA(nullptr, IDC_ARROW);
    if (RegisterHyperLinkClass(cursor) && cursorFromHelpProgram) KeepModuleForProcess(cursorModule);

    window = CreateWindowExA(0, kClassName, "", WS_CHILD, x, y, size.cx, size.cy, parent, nullptr,
                             appInstance, this);
    if (window == nullptr) {
        MessageBoxA(parent, "Error Creating HyperLink Window", "", MB_OK);
        return;
    }
    ShowWindow(window, SW_SHOWNORMAL);
    UpdateWindow(window);
}

HyperLink::~HyperLink() {
    // The window outlives the object by a moment while its parent closes: make
    // sure nothing that still reaches it finds a deleted object.
    if (window != nullptr && IsWindow(window)) {
        KillTimer(window, kHoverTimer);
        SetWindowLongPtrA(window, GWLP_USERDATA, 0);
    }
    if (cursorModule != nullptr) FreeLibrary(cursorModule);
    if (font != nullptr) DeleteObject(font);
}

LRESULT CALLBACK HyperLinkWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        return 0;
    }
    auto* link = reinterpret_cast<HyperLink*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (link == nullptr) return DefWindowProcA(window, message, wParam, lParam);

    switch (message) {
        case WM_PAINT:
            OnPaint(window, link);
            return 0;
        case WM_MOUSEMOVE:
            OnMouseMove(window, link);
            return 0;
        case WM_MOUSEHOVER:
        case WM_MOUSELEAVE:
            InvalidateRect(window, nullptr, TRUE);
            return 0;
        case WM_TIMER:
            OnTimer(window, link);
            return 0;
        case WM_LBUTTONUP:
            OnLeftButtonUp(window, link);
            return 0;
        case WM_CLOSE:
            DestroyWindow(window);
            return 0;
        default:
            return DefWindowProcA(window, message, wParam, lParam);
    }
}
