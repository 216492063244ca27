// The program's other windows as a person uses them: preferences, the tray, a
// second start, About and Help.
#include <memory>
#include <string>
#include <vector>

#include <windows.h>

#include <commctrl.h>

#include "core/app_state.h"
#include "gtest/gtest.h"
#include "res/resource.h"
#include "tests/acceptance/person.h"
#include "tests/support/test_files.h"
#include "tests/support/velk_registry.h"

namespace {
class Windows : public RunningVelk {
protected:
    // Alt+Space opens the system menu; its "Minimize" is taken with n.
    void MinimiseByKeyboard() {
        Person::Click(control(IDC_FILE_SIZE_TEXT));
        Person::Keys("alt+space");
        Person::Keys("n");
        Settled(window());
    }
};

// The page of the preferences sheet that holds a control.
HWND PageWith(HWND sheet, int id) {
    for (HWND child = GetWindow(sheet, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (GetDlgItem(child, id) && IsWindowVisible(child)) return child;
    }
    return nullptr;
}

// Where a tab of a tab control of another process lies on the screen: the item's
// rectangle is asked for in memory of that process.
POINT TabCentre(HWND tab, int index) {
    POINT centre = {0, 0};
    DWORD processId = 0;
    GetWindowThreadProcessId(tab, &processId);
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ, FALSE, processId);
    if (!process) return centre;
    void* remote = VirtualAllocEx(process, nullptr, sizeof(RECT), MEM_COMMIT, PAGE_READWRITE);
    RECT item = {};
    if (remote && SendMessageA(tab, TCM_GETITEMRECT, index, reinterpret_cast<LPARAM>(remote)) &&
        ReadProcessMemory(process, remote, &item, sizeof item, nullptr)) {
        centre = {(item.left + item.right) / 2, (item.top + item.bottom) / 2};
        ClientToScreen(tab, &centre);
    }
    if (remote) VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    CloseHandle(process);
    return centre;
}

// The tray icon that Wine shows in its own tray window when there is no taskbar.
HWND TrayIcon() {
    HWND tray = FindWindowA(nullptr, "Wine System Tray");
    if (!tray || !IsWindowVisible(tray)) return nullptr;
    for (HWND icon = GetWindow(tray, GW_CHILD); icon; icon = GetWindow(icon, GW_HWNDNEXT)) {
        if (IsWindowVisible(icon)) return icon;
    }
    return nullptr;
}

int WindowsTitled(const char* title) {
    int count = 0;
    for (HWND w = FindWindowA(nullptr, title); w; w = FindWindowExA(nullptr, w, nullptr, title)) {
        DWORD style = GetWindowLongA(w, GWL_STYLE);
        if (GetDlgItem(w, IDC_SOURCE_BOX) && (style & WS_CAPTION)) ++count;
    }
    return count;
}
}  // namespace

TEST_F(Windows, MinimisingGoesIntoTheTrayAndADoubleClickBringsItBack) {
    MinimiseByKeyboard();
    ASSERT_TRUE(PumpUntil([&] { return !IsWindowVisible(window()); })) << "the window stayed on screen";
    HWND icon = nullptr;
    ASSERT_TRUE(PumpUntil([&] { return (icon = TrayIcon()) != nullptr; })) << "no tray icon";

    Person::DoubleClick(icon);
    EXPECT_TRUE(PumpUntil([&] { return IsWindowVisible(window()) != FALSE; })) << "still hidden";
    EXPECT_TRUE(PumpUntil([&] { return TrayIcon() == nullptr; })) << "the icon stayed";
    EXPECT_FALSE(IsIconic(window()));
}

TEST_F(Windows, PreferenceOffMakesTheNextMinimiseAnOrdinaryOne) {
    Person::Click(control(IDC_CUSTOMIZE));
    HWND sheet = WaitForDialog(velk_->id(), "VELK Preferences");
    ASSERT_NE(nullptr, sheet);
    Person::ClickAt(TabCentre(FindWindowExA(sheet, nullptr, WC_TABCONTROLA, nullptr), 1));
    HWND general = nullptr;
    ASSERT_TRUE(PumpUntil([&] { return (general = PageWith(sheet, IDC_PREF_MIN_TO_TRAY)) != nullptr; }));
    HWND box = GetDlgItem(general, IDC_PREF_MIN_TO_TRAY);
    EXPECT_EQ(BST_CHECKED, SendMessageA(box, BM_GETCHECK, 0, 0));
    Person::Click(box);
    EXPECT_TRUE(PumpUntil([&] { return SendMessageA(box, BM_GETCHECK, 0, 0) == BST_UNCHECKED; }));
    Person::Click(GetDlgItem(sheet, IDOK));
    ASSERT_TRUE(WaitGone(sheet));
    EXPECT_EQ(0u, VelkRegistry::Read("MinToSysTray").Dword());

    MinimiseByKeyboard();
    EXPECT_TRUE(PumpUntil([&] { return IsIconic(window()) != FALSE; })) << "not minimised";
    EXPECT_EQ(nullptr, TrayIcon());

    // A second start brings the minimised window back.
    EXPECT_EQ(0, RunVelk(""));
    EXPECT_TRUE(PumpUntil([&] { return !IsIconic(window()) && IsWindowVisible(window()); }));
}

TEST_F(Windows, SecondStartHandsItsFileToTheRunningWindow) {
    ScratchDir dir;
    std::string path = dir / "my holiday.zip";
    ASSERT_TRUE(WritePattern(path, 2000000));
    EXPECT_EQ(0, RunVelk("\"" + path + "\""));
    EXPECT_TRUE(PumpUntil([&] { return TextOf(control(IDC_SOURCE_BOX)) == path; }))
        << TextOf(control(IDC_SOURCE_BOX));
    EXPECT_EQ("File Size : 1.90 MB", TextOf(control(IDC_FILE_SIZE_TEXT)));
    EXPECT_EQ("Num of Split Parts : 2", TextOf(control(IDC_PART_COUNT_TEXT)));
    EXPECT_EQ(1, WindowsTitled(kWindowTitle));
}

TEST_F(Windows, AboutBoxIgnoresEscapeAndClosesWithEnter) {
    Person::Click(control(IDC_ABOUT));
    HWND about = WaitForDialog(velk_->id(), kWindowTitle, 20000, window());
    ASSERT_NE(nullptr, about);
    EXPECT_NE(nullptr, FindWindowExA(about, nullptr, "HyperLinkWnd", nullptr));
    Person::Keys("Escape");
    ASSERT_TRUE(Settled(about));
    EXPECT_TRUE(IsWindowVisible(about));
    Person::Keys("Return");
    EXPECT_TRUE(WaitGone(about));
}

TEST_F(Windows, HelpOpensTheHelpFileInTheViewer) {
    Person::Click(control(IDC_HELPBUTTON));
    HWND viewer = WaitForWindow("VELK - Tresmal Help");
    ASSERT_NE(nullptr, viewer) << "no help viewer";
    PostMessageA(viewer, WM_CLOSE, 0, 0);
    EXPECT_TRUE(WaitGone(viewer));
}
