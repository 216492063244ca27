// The link control against the real platform: its pixels, font, size, hover
// timer, clicks through the shell and its error boxes.
#include "about/hyperlink.h"

#include <windows.h>

#include <cstring>
#include <memory>
#include <string>

#include "core/app_state.h"
#include "gtest/gtest.h"
#include "tests/about/about_test_windows.h"
#include "tests/about/fresh_process.h"
#include "tests/support/message_boxes.h"
#include "tests/support/test_files.h"

namespace {

constexpr char kTarget[] = "http://www.velk.example/";
constexpr char kShown[] = "www.velk.example";

std::unique_ptr<HyperLink> MakeLink(HWND parent, const char* target = kTarget,
                                    const char* text = kShown) {
    return std::make_unique<HyperLink>(parent, target, text, 0, 0, 0, "Tahoma", 10, 400,
                                       kLinkUnderline, 20, 30);
}

LOGFONTA FontOf(const HyperLink& link) {
    LOGFONTA font = {};
    GetObjectA(link.font, sizeof(font), &font);
    return font;
}

int ScreenPixelsPerInch() {
    HDC dc = GetDC(nullptr);
    int perInch = GetDeviceCaps(dc, LOGPIXELSY);
    ReleaseDC(nullptr, dc);
    return perInch;
}

SIZE MeasuredText(HFONT font, const char* text) {
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font);
    SIZE size = {};
    GetTextExtentPoint32A(dc, text, static_cast<int>(std::strlen(text)), &size);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    return size;
}

SIZE ClientSize(HWND window) {
    RECT rect;
    GetClientRect(window, &rect);
    return SIZE{rect.right - rect.left, rect.bottom - rect.top};
}

// Counts the hover timer's ticks as the queue hands them to the link.
struct TimerTicks {
    static HWND watched;
    static int count;
    static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam) {
        auto* msg = reinterpret_cast<MSG*>(lParam);
        if (code == HC_ACTION && wParam == PM_REMOVE && msg->message == WM_TIMER &&
            msg->hwnd == watched) {
            ++count;
        }
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }
    explicit TimerTicks(HWND window) {
        watched = window;
        count = 0;
        hook = SetWindowsHookExA(WH_GETMESSAGE, Hook, nullptr, GetCurrentThreadId());
    }
    ~TimerTicks() { UnhookWindowsHookEx(hook); }
    HHOOK hook;
};
HWND TimerTicks::watched = nullptr;
int TimerTicks::count = 0;

void Hover(HWND link) {
    MoveCursorTo(CentreOnScreen(link));
    SendMessageA(link, WM_MOUSEMOVE, 0, MAKELPARAM(2, 2));
    UpdateWindow(link);
}

}  // namespace

TEST(WindowsFamily, ClassifiesEveryRowOfTheVersionTable) {
    struct Row {
        DWORD platform, major, minor;
        WindowsFamily expected;
    } rows[] = {
        {VER_PLATFORM_WIN32s, 3, 11, FamilyWin32s},
        {VER_PLATFORM_WIN32_WINDOWS, 4, 0, FamilyWindows95},
        {VER_PLATFORM_WIN32_WINDOWS, 4, 1, FamilyWindows98},
        {VER_PLATFORM_WIN32_WINDOWS, 4, 10, FamilyWindows98},
        {VER_PLATFORM_WIN32_WINDOWS, 4, 89, FamilyWindows98},
        {VER_PLATFORM_WIN32_WINDOWS, 4, 90, FamilyWindowsMe},
        {VER_PLATFORM_WIN32_WINDOWS, 5, 0, FamilyWindowsMe},
        {VER_PLATFORM_WIN32_NT, 4, 0, FamilyWindowsNT},
        {VER_PLATFORM_WIN32_NT, 6, 1, FamilyWindowsNT},
        {3, 4, 0, FamilyUnknown},
    };
    for (const Row& row : rows) {
        OSVERSIONINFOA version = {};
        version.dwOSVersionInfoSize = sizeof(version);
        version.dwPlatformId = row.platform;
        version.dwMajorVersion = row.major;
        version.dwMinorVersion = row.minor;
        EXPECT_EQ(row.expected, ClassifyWindowsVersion(version))
            << "platform " << row.platform << ", version " << row.major << "." << row.minor;
    }
    EXPECT_EQ(FamilyWindowsNT, GetWindowsFamily()) << "Wine reports the NT family";
}

TEST(HyperLink, BlueAtFirstRedWhileHoveredAndBlueAgainOnTheFirstTickAfterLeaving) {
    MoveCursorTo(FarCorner());
    TestParent parent;
    auto link = MakeLink(parent);
    ASSERT_NE(nullptr, link->window);
    UpdateWindow(link->window);
    EXPECT_GT(CountPixels(link->window, kLinkNormalColour), 0) << DescribeLinkColours(link->window);
    EXPECT_EQ(0, CountPixels(link->window, kLinkHoverColour));

    TimerTicks ticks(link->window);
    Hover(link->window);
    EXPECT_TRUE(link->hovering);
    EXPECT_GT(CountPixels(link->window, kLinkHoverColour), 0) << DescribeLinkColours(link->window);
    EXPECT_EQ(0, CountPixels(link->window, kLinkNormalColour));

    // Stays red as long as the cursor stays on it, whatever the timer finds.
    ASSERT_TRUE(PumpUntil([] { return TimerTicks::count >= 2; }, 3000));
    EXPECT_TRUE(link->hovering);

    int ticksBefore = TimerTicks::count;
    MoveCursorTo(FarCorner());
    DWORD left = GetTickCount();
    ASSERT_TRUE(PumpUntil([&] { return !link->hovering; }, 3000));
    DWORD took = GetTickCount() - left;
    EXPECT_EQ(1, TimerTicks::count - ticksBefore) << "the first tick after leaving ends the hover";
    EXPECT_LE(took, 100u + 150u) << "one 100 ms interval, with room for the scheduler";

    UpdateWindow(link->window);
    EXPECT_GT(CountPixels(link->window, kLinkNormalColour), 0) << DescribeLinkColours(link->window);
    EXPECT_EQ(0, CountPixels(link->window, kLinkHoverColour));

    // The timer stopped with the hover: no tick arrives any more.
    int ticksAfter = TimerTicks::count;
    EXPECT_FALSE(PumpUntil([&] { return TimerTicks::count > ticksAfter; }, 300));
}

TEST(HyperLink, ClickOpensTheTargetEveryTimeAndLeavesItPurple) {
    MoveCursorTo(FarCorner());
    ScratchDir dir;
    std::string marker = dir / "opened.txt";
    std::string script = dir / "open.bat";
    ASSERT_TRUE(WriteBytes(script, [&] {
        std::string text = "@echo opened>> \"" + marker + "\"\r\n";
        return std::vector<char>(text.begin(), text.end());
    }()));
    TestParent parent;
    auto link = MakeLink(parent, script.c_str(), "open the script");
    MessageBoxAnswerer boxes;

    SendMessageA(link->window, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
    EXPECT_TRUE(link->visited);
    ASSERT_TRUE(PumpUntil([&] { return ReadText(marker).find("opened") != std::string::npos; },
                          20000))
        << "the shell did not open " << script;
    EXPECT_EQ(0u, boxes.Count()) << boxes.Describe();
    UpdateWindow(link->window);
    EXPECT_GT(CountPixels(link->window, kLinkVisitedColour), 0) << DescribeLinkColours(link->window);
    EXPECT_EQ(0, CountPixels(link->window, kLinkNormalColour));

    // Every release opens it again, visited or not.
    SendMessageA(link->window, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
    ASSERT_TRUE(PumpUntil(
        [&] {
            std::string text = ReadText(marker);
            return text.find("opened") != text.rfind("opened");
        },
        20000))
        << "the second click did not open it again";

    // Hovering wins over visited.
    Hover(link->window);
    EXPECT_GT(CountPixels(link->window, kLinkHoverColour), 0) << DescribeLinkColours(link->window);
    EXPECT_EQ(0, CountPixels(link->window, kLinkVisitedColour));
    MoveCursorTo(FarCorner());
    ASSERT_TRUE(PumpUntil([&] { return !link->hovering; }, 3000));
    UpdateWindow(link->window);
    EXPECT_GT(CountPixels(link->window, kLinkVisitedColour), 0) << DescribeLinkColours(link->window);
}

TEST(HyperLink, TargetThatCannotBeOpenedShowsTheBrowserErrorAndStillCountsAsVisited) {
    MoveCursorTo(FarCorner());
    TestParent parent;
    auto link = MakeLink(parent, "Z:\\no-such-folder-for-velk\\nothing-here.velk-none");
    MessageBoxAnswerer boxes;
    boxes.Then(IDOK);
    SendMessageA(link->window, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
    ASSERT_EQ(1u, boxes.Count()) << boxes.Describe();
    EXPECT_EQ("Error Opening the Browser", boxes.Last().text);
    EXPECT_EQ("Error", boxes.Last().caption);
    EXPECT_EQ(static_cast<UINT>(MB_OK | MB_ICONERROR), boxes.Last().style());
    EXPECT_EQ(parent.get(), boxes.Last().owner);
    EXPECT_TRUE(link->visited);
    UpdateWindow(link->window);
    EXPECT_GT(CountPixels(link->window, kLinkVisitedColour), 0) << DescribeLinkColours(link->window);
}

TEST(HyperLink, TenPointTahomaUnderlinedAndTheWindowIsTheMeasuredText) {
    TestParent parent;
    auto link = MakeLink(parent);
    LOGFONTA font = FontOf(*link);
    EXPECT_EQ(-(10 * ScreenPixelsPerInch()) / 72, font.lfHeight);
    if (ScreenPixelsPerInch() == 96) {
        EXPECT_EQ(-13, font.lfHeight);
    }
    EXPECT_EQ(400, font.lfWeight);
    EXPECT_EQ(0, font.lfItalic);
    EXPECT_EQ(1, font.lfUnderline);
    EXPECT_EQ(0, font.lfStrikeOut);
    EXPECT_STREQ("Tahoma", font.lfFaceName);
    EXPECT_EQ(PROOF_QUALITY, font.lfQuality);
    EXPECT_EQ(VARIABLE_PITCH | FF_SWISS, font.lfPitchAndFamily);

    SIZE measured = MeasuredText(link->font, kShown);
    SIZE client = ClientSize(link->window);
    EXPECT_EQ(measured.cx, client.cx);
    EXPECT_EQ(measured.cy, client.cy);
    RECT rect;
    GetWindowRect(link->window, &rect);
    POINT topLeft = {rect.left, rect.top};
    ScreenToClient(parent, &topLeft);
    EXPECT_EQ(20, topLeft.x);
    EXPECT_EQ(30, topLeft.y);
    EXPECT_EQ(static_cast<LONG_PTR>(WS_CHILD | WS_VISIBLE), GetWindowLongPtrA(link->window, GWL_STYLE));
}

TEST(HyperLink, DefaultsFillZeroColoursMissingFaceAndText) {
    TestParent parent;
    HyperLink link(parent, kTarget, nullptr, 0, 0, 0, nullptr, 24, 700, kLinkItalic, 0, 0);
    EXPECT_EQ(kLinkNormalColour, link.normalColour);
    EXPECT_EQ(15597568u, link.normalColour);
    EXPECT_EQ(9116245u, link.visitedColour);
    EXPECT_EQ(255u, link.hoverColour);
    // Without a face the size argument does not count.
    EXPECT_STREQ("MS Sans Serif", link.faceName);
    EXPECT_EQ(8, link.pointSize);
    LOGFONTA font = FontOf(link);
    EXPECT_EQ(-(8 * ScreenPixelsPerInch()) / 72, font.lfHeight);
    EXPECT_EQ(700, font.lfWeight);
    EXPECT_EQ(1, font.lfItalic);
    // A null text shows the target, and the window fits it.
    EXPECT_EQ(kTarget, link.text);
    SIZE measured = MeasuredText(link.font, kTarget);
    EXPECT_EQ(measured.cx, ClientSize(link.window).cx);

    HyperLink coloured(parent, kTarget, kShown, RGB(1, 2, 3), RGB(4, 5, 6), RGB(7, 8, 9), "Tahoma",
                       0, 400, 0, 0, 40);
    EXPECT_EQ(RGB(1, 2, 3), coloured.normalColour);
    EXPECT_EQ(RGB(4, 5, 6), coloured.visitedColour);
    EXPECT_EQ(RGB(7, 8, 9), coloured.hoverColour);
    EXPECT_EQ(8, coloured.pointSize) << "a size below 1 with a face gives 8 points";
    UpdateWindow(coloured.window);
    EXPECT_GT(CountPixels(coloured.window, RGB(1, 2, 3)), 0);
}

TEST(HyperLink, WeightOutsideOneTo900Gives400AndDropsEveryStyleFlag) {
    TestParent parent;
    for (int weight : {0, 1000, -5}) {
        HyperLink link(parent, kTarget, kShown, 0, 0, 0, "Tahoma", 10, weight,
                       kLinkItalic | kLinkUnderline | kLinkStrikeOut, 0, 0);
        LOGFONTA font = FontOf(link);
        EXPECT_EQ(400, link.weight) << "weight " << weight;
        EXPECT_EQ(400, font.lfWeight) << "weight " << weight;
        EXPECT_EQ(0, font.lfItalic) << "weight " << weight;
        EXPECT_EQ(0, font.lfUnderline) << "weight " << weight;
        EXPECT_EQ(0, font.lfStrikeOut) << "weight " << weight;
    }
    for (int weight : {1, 900}) {
        HyperLink link(parent, kTarget, kShown, 0, 0, 0, "Tahoma", 10, weight,
                       kLinkItalic | kLinkUnderline | kLinkStrikeOut | 8, 0, 0);
        LOGFONTA font = FontOf(link);
        EXPECT_EQ(weight, font.lfWeight);
        EXPECT_EQ(1, font.lfItalic);
        EXPECT_EQ(1, font.lfUnderline);
        EXPECT_EQ(1, font.lfStrikeOut);
    }
}

TEST(HyperLink, NullParentOrTargetMakesNothingAndDeletesCleanly) {
    TestParent parent;
    MessageBoxAnswerer boxes;
    auto withoutParent = std::make_unique<HyperLink>(nullptr, kTarget, kShown, 0, 0, 0, "Tahoma",
                                                     10, 400, 2, 0, 0);
    auto withoutTarget = std::make_unique<HyperLink>(parent, nullptr, kShown, 0, 0, 0, "Tahoma",
                                                     10, 400, 2, 0, 0);
    for (HyperLink* link : {withoutParent.get(), withoutTarget.get()}) {
        EXPECT_EQ(nullptr, link->window);
        EXPECT_EQ(nullptr, link->font);
        EXPECT_EQ(nullptr, link->cursorModule);
    }
    EXPECT_EQ(nullptr, GetWindow(parent, GW_CHILD));
    withoutParent.reset();
    withoutTarget.reset();
    EXPECT_EQ(0u, boxes.Count()) << boxes.Describe();
}

TEST(HyperLink, WindowThatCannotBeCreatedIsReportedAndTheObjectKeepsItsFont) {
    HWND gone = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                appInstance, nullptr);
    DestroyWindow(gone);
    MessageBoxAnswerer boxes;
    boxes.Then(IDOK);
    auto link = std::make_unique<HyperLink>(gone, kTarget, kShown, 0, 0, 0, "Tahoma", 10, 400, 2,
                                            0, 0);
    EXPECT_EQ(nullptr, link->window);
    EXPECT_NE(nullptr, link->font);
    if (boxes.Count() == 1) {  // a box owned by a window that is gone may not open at all
        EXPECT_EQ("Error Creating HyperLink Window", boxes.Last().text);
        EXPECT_EQ("", boxes.Last().caption);
        EXPECT_EQ(static_cast<UINT>(MB_OK), boxes.Last().style());
    }
    link.reset();
}

TEST(HyperLink, ClassIsRegisteredOnceWithAHandCursorAndEveryLinkUsesIt) {
    TestParent parent;
    auto first = MakeLink(parent);
    WNDCLASSEXA registered = {};
    registered.cbSize = sizeof(registered);
    ASSERT_TRUE(GetClassInfoExA(appInstance, "HyperLinkWnd", &registered));
    EXPECT_EQ(static_cast<UINT>(CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS), registered.style);
    EXPECT_EQ(LoadCursorA(nullptr, IDC_HAND), registered.hCursor);
    EXPECT_EQ(&HyperLinkWndProc, registered.lpfnWndProc);
    ASSERT_NE(nullptr, registered.hbrBackground);
    LOGBRUSH brush = {};
    GetObjectA(registered.hbrBackground, sizeof(brush), &brush);
    EXPECT_EQ(GetSysColor(COLOR_BTNFACE), brush.lbColor);

    auto second = MakeLink(parent);
    EXPECT_EQ(reinterpret_cast<LONG_PTR>(registered.hbrBackground),
              static_cast<LONG_PTR>(GetClassLongPtrA(second->window, GCLP_HBRBACKGROUND)));
    EXPECT_EQ(nullptr, first->cursorModule) << "no help program on the NT family";
}

// Whether the help program is there, and whether it loads as a library, differs
// between systems (and Wine releases); the cursor must follow what really loads.
bool HelpProgramLoads() {
    char path[MAX_PATH];
    UINT length = GetWindowsDirectoryA(path, sizeof(path));
    HMODULE probe = LoadLibraryA((std::string(path, length) + "\\winhlp32.exe").c_str());
    if (probe != nullptr) FreeLibrary(probe);
    return probe != nullptr;
}

TEST(HyperLink, HelpProgramCursorLoadsTheWindowsHelpProgramWhenThereIsOne) {
    HMODULE module = reinterpret_cast<HMODULE>(1);
    HCURSOR cursor = LoadHelpProgramCursor(&module);
    if (!HelpProgramLoads()) {
        EXPECT_EQ(nullptr, module);
        EXPECT_EQ(nullptr, cursor);
        return;
    }
    ASSERT_NE(nullptr, module);
    EXPECT_EQ(LoadCursorA(module, MAKEINTRESOURCEA(106)), cursor);
    FreeLibrary(module);
}

TEST(HyperLink, DeletedLinkLeavesAWindowThatNoLongerReachesIt) {
    MoveCursorTo(FarCorner());
    TestParent parent;
    auto link = MakeLink(parent);
    HWND window = link->window;
    Hover(window);
    link.reset();
    EXPECT_TRUE(IsWindow(window)) << "the window goes with its parent, not with the object";
    EXPECT_EQ(0, GetWindowLongPtrA(window, GWLP_USERDATA));
    // Messages that still arrive find no object and do no harm.
    SendMessageA(window, WM_MOUSEMOVE, 0, 0);
    SendMessageA(window, WM_TIMER, 1000, 0);
    InvalidateRect(window, nullptr, TRUE);
    UpdateWindow(window);
    DrainQueue();
}

// On Windows 95 the hand comes from the help program; where that cannot be loaded
// (no winhlp32.exe in the Windows directory, or one that does not load) the class takes the system
// hand, or the arrow where the system has no hand. Runs as Windows 95 in a process
// of its own, since the class is registered once per process.
TEST(HyperLink, OnWindows95WithoutTheHelpProgramTheClassStillGetsACursor) {
    EXPECT_EQ(0, RunTestInFreshProcess("HyperLinkAsWindows95.DISABLED_CursorWithoutHelpProgram",
                                       "velk_as_windows95.exe", {{"", "Version", "win95"}}));
}

TEST(HyperLinkAsWindows95, DISABLED_CursorWithoutHelpProgram) {
    ASSERT_EQ(FamilyWindows95, GetWindowsFamily());
    bool helpProgramThere = HelpProgramLoads();
    TestParent parent;
    auto link = MakeLink(parent);
    ASSERT_NE(nullptr, link->window);
    WNDCLASSEXA registered = {};
    registered.cbSize = sizeof(registered);
    ASSERT_TRUE(GetClassInfoExA(appInstance, "HyperLinkWnd", &registered));
    EXPECT_NE(nullptr, registered.hCursor);
    if (!helpProgramThere) {
        EXPECT_EQ(nullptr, link->cursorModule);
        HCURSOR hand = LoadCursorA(nullptr, IDC_HAND);
        EXPECT_EQ(hand != nullptr ? hand : LoadCursorA(nullptr, IDC_ARROW), registered.hCursor);
    }
}
