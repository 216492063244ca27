// The preferences sheet driven as a person uses it: pages read the store when they
// are created, every change enables Apply, OK and Apply write through the store,
// Cancel writes nothing, and a limit outside 1 to 7 is reported while typed.
#include <windows.h>
#include <commctrl.h>

#include "core/app_state.h"
#include "gtest/gtest.h"
#include "res/resource.h"
#include "settings/preferences.h"
#include "settings/settings_store.h"
#include "tests/prefs/prefs_fixture.h"
#include "tests/prefs/sheet_driver.h"
#include "tests/prefs/shell_entry.h"
#include "tests/support/message_boxes.h"
#include "tests/support/unix_command.h"

namespace {

constexpr char kLimitMessage[] = "Choose a Number Between 1 & 7 Only !";
constexpr int kDirectory = 0;
constexpr int kGeneral = 1;

using PreferencesSheet = PrefsFixture;

// The limit message was the last box seen, laid out as the page shows it.
void ExpectLimitMessage(const MessageBoxAnswerer& boxes, size_t count, HWND sheet) {
    ASSERT_EQ(count, boxes.Count()) << boxes.Describe();
    const SeenBox& box = boxes.Last();
    EXPECT_EQ(kLimitMessage, box.text);
    EXPECT_EQ(kWindowTitle, box.caption);
    EXPECT_EQ(static_cast<UINT>(MB_OK | MB_ICONINFORMATION), box.style());
    // Owned by the page; the platform gives a box the page's top-level window.
    EXPECT_EQ(sheet, box.owner);
}

// After the message, the focus is back in the box with its whole text selected.
void ExpectLimitBoxFocusedAndSelected(HWND page) {
    HWND box = GetDlgItem(page, IDC_PREF_RECENT_LIMIT);
    EXPECT_EQ(box, GetFocus());
    DWORD start = 0, end = 0;
    SendMessageA(box, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(0u, start);
    EXPECT_EQ(static_cast<DWORD>(GetWindowTextLengthA(box)), end);
}

}  // namespace

TEST_F(PreferencesSheet, OpensOnDirectoryWithTheDefaultsAndApplyDisabled) {
    MessageBoxAnswerer boxes;
    bool shown = DriveSheet(OpenSheet(), [&](HWND sheet) {
        EXPECT_EQ(kDirectory, CurrentPageIndex(sheet));
        EXPECT_EQ("Directory", TabText(sheet, kDirectory));
        EXPECT_EQ("General", TabText(sheet, kGeneral));
        HWND directory = PageAt(sheet, kDirectory);
        EXPECT_TRUE(Checked(directory, IDC_PREF_SAME_AS_SOURCE));
        EXPECT_FALSE(Checked(directory, IDC_PREF_USE_RECENT));
        EXPECT_EQ("5", ControlText(directory, IDC_PREF_RECENT_LIMIT));
        // Filling the limit box is not a change: no message and Apply stays off.
        EXPECT_FALSE(ApplyEnabled(sheet));
        EXPECT_EQ(nullptr, PageAt(sheet, kGeneral)) << "General is created only when shown";
        HWND general = ShowPage(sheet, kGeneral);
        EXPECT_TRUE(Checked(general, IDC_PREF_MIN_TO_TRAY));
        EXPECT_TRUE(Checked(general, IDC_PREF_SHELL_MENU));
        EXPECT_FALSE(ApplyEnabled(sheet));
        PressSheetButton(sheet, PSBTN_CANCEL);
    });
    ASSERT_TRUE(shown);
    EXPECT_EQ(0u, boxes.Count()) << boxes.Describe();
}

// A stand-in for the sheet window that counts the PSM_CHANGED its page sends.
struct ChangeCounter {
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == PSM_CHANGED) ++count;
        return DefWindowProcA(window, message, wParam, lParam);
    }
    static int count;
};
int ChangeCounter::count = 0;

// Putting the stored limit into the box sends EN_CHANGE like typing does; the
// platform's sheet may hide the Apply it would enable, so the page is watched alone.
TEST_F(PreferencesSheet, FillingTheLimitBoxIsNotAChange) {
    WNDCLASSA cls = {};
    cls.lpfnWndProc = ChangeCounter::Proc;
    cls.hInstance = appInstance;
    cls.lpszClassName = "PrefsChangeCounter";
    RegisterClassA(&cls);
    HWND sheet = CreateWindowExA(0, cls.lpszClassName, "", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300,
                                 nullptr, nullptr, appInstance, nullptr);
    ChangeCounter::count = 0;
    MessageBoxAnswerer boxes;
    HWND page = CreateDialogParamA(appInstance, MAKEINTRESOURCEA(IDD_PREF_DIRECTORY), sheet,
                                   DirectoryPageProc, 0);
    ASSERT_NE(nullptr, page);
    EXPECT_EQ("5", ControlText(page, IDC_PREF_RECENT_LIMIT));
    EXPECT_EQ(0, ChangeCounter::count) << "filling the page announced a change";
    TypeIntoLimitBox(page, "3");
    EXPECT_EQ(1, ChangeCounter::count);
    EXPECT_EQ(0u, boxes.Count()) << boxes.Describe();
    DestroyWindow(sheet);
}

TEST_F(PreferencesSheet, PagesShowTheStoredValues) {
    VelkRegistry::WriteDword("UseMRUD", 1);
    VelkRegistry::WriteDword("MRUDLimit", 7);
    VelkRegistry::WriteDword("MinToSysTray", 0);
    VelkRegistry::WriteDword("ShlRtClkEn", 2);  // any non-zero value is on
    MessageBoxAnswerer boxes;
    ASSERT_TRUE(DriveSheet(OpenSheet(), [&](HWND sheet) {
        HWND directory = PageAt(sheet, kDirectory);
        EXPECT_FALSE(Checked(directory, IDC_PREF_SAME_AS_SOURCE));
        EXPECT_TRUE(Checked(directory, IDC_PREF_USE_RECENT));
        EXPECT_EQ("7", ControlText(directory, IDC_PREF_RECENT_LIMIT));
        HWND general = ShowPage(sheet, kGeneral);
        EXPECT_FALSE(Checked(general, IDC_PREF_MIN_TO_TRAY));
        EXPECT_TRUE(Checked(general, IDC_PREF_SHELL_MENU));
        EXPECT_FALSE(ApplyEnabled(sheet));
        PressSheetButton(sheet, PSBTN_CANCEL);
    }));
    EXPECT_EQ(0u, boxes.Count()) << boxes.Describe();
}

TEST_F(PreferencesSheet, EveryControlEnablesApplyAndApplyWritesAndKeepsTheSheetOpen) {
    MessageBoxAnswerer boxes;
    ASSERT_TRUE(DriveSheet(OpenSheet(), [&](HWND sheet) {
        HWND directory = PageAt(sheet, kDirectory);
        ClickControl(directory, IDC_PREF_USE_RECENT);
        EXPECT_FALSE(Checked(directory, IDC_PREF_SAME_AS_SOURCE)) << "the radio buttons are one group";
        EXPECT_TRUE(ApplyEnabled(sheet));
        ApplyNow(sheet);
        EXPECT_EQ(Number(1), ReadNumber("UseMRUD"));
        EXPECT_EQ(Number(5), ReadNumber("MRUDLimit"));
        EXPECT_EQ(sheet, FindSheet()) << "Apply leaves the sheet open";

        ClickControl(directory, IDC_PREF_SAME_AS_SOURCE);
        EXPECT_TRUE(ApplyEnabled(sheet));
        ApplyNow(sheet);
        EXPECT_EQ(Number(0), ReadNumber("UseMRUD"));

        TypeIntoLimitBox(directory, "2");
        EXPECT_TRUE(ApplyEnabled(sheet));
        ApplyNow(sheet);
        EXPECT_EQ(Number(2), ReadNumber("MRUDLimit"));

        HWND general = ShowPage(sheet, kGeneral);
        ClickControl(general, IDC_PREF_MIN_TO_TRAY);
        EXPECT_TRUE(ApplyEnabled(sheet));
        ApplyNow(sheet);
        EXPECT_EQ(Number(0), ReadNumber("MinToSysTray"));
        EXPECT_EQ(Number(1), ReadNumber("ShlRtClkEn"));

        SetDlgItemTextA(general, IDC_PREF_RECOVERY_PARTS, "12");
        EXPECT_TRUE(ApplyEnabled(sheet));
        ApplyNow(sheet);
        EXPECT_EQ(Number(12), ReadNumber("RecoveryParts"));

        ClickControl(general, IDC_PREF_SHELL_MENU);
        EXPECT_TRUE(ApplyEnabled(sheet));
        PressSheetButton(sheet, PSBTN_OK);
    }));
    EXPECT_EQ(Number(0), ReadNumber("MinToSysTray"));
    EXPECT_EQ(Number(0), ReadNumber("ShlRtClkEn"));
    EXPECT_EQ(Number(0), ReadNumber("UseMRUD"));
    EXPECT_EQ(Number(2), ReadNumber("MRUDLimit"));
    EXPECT_EQ(0u, boxes.Count()) << boxes.Describe();
}

TEST_F(PreferencesSheet, ShellIntegrationAddsOrRemovesExplorersEntryAtOnceAndNothingElse) {
    const char neighbour[] = "Software\\Classes\\*\\shell\\VelkTestNeighbour";  // another program's verb
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueA(HKEY_CURRENT_USER, neighbour, REG_SZ, "other.exe", 0));
    ASSERT_TRUE(SetShellMenuEntry(true));  // as the start left it
    MessageBoxAnswerer boxes;
    ASSERT_TRUE(DriveSheet(OpenSheet(), [&](HWND sheet) {
        HWND general = ShowPage(sheet, kGeneral);
        ClickControl(general, IDC_PREF_SHELL_MENU);
        ApplyNow(sheet);
        EXPECT_EQ("(no such key)", ShellEntryText());
        ClickControl(general, IDC_PREF_SHELL_MENU);
        PressSheetButton(sheet, PSBTN_OK);
    }));
    EXPECT_EQ(kShellVerbText, ShellEntryText());
    char text[16] = "";
    LONG size = sizeof text;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueA(HKEY_CURRENT_USER, neighbour, text, &size)) << "the neighbour went";
    SHDeleteKeyA(HKEY_CURRENT_USER, neighbour);
    EXPECT_EQ(0u, boxes.Count()) << boxes.Describe();
}

TEST_F(PreferencesSheet, AnExplorerEntryThatCannotBeWrittenIsSaidSo) {
    HKEY volatileRoot = nullptr;  // the user's classes seen through it: no lasting key may be made
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\VelkTestVolatile", 0, nullptr,
                                             REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, &volatileRoot, nullptr));
    MessageBoxAnswerer boxes;
    ASSERT_TRUE(DriveSheet(OpenSheet(), [&](HWND sheet) {
        ClickControl(ShowPage(sheet, kGeneral), IDC_PREF_SHELL_MENU);  // off and on again
        ClickControl(PageAt(sheet, kGeneral), IDC_PREF_SHELL_MENU);
        RegOverridePredefKey(HKEY_CURRENT_USER, volatileRoot);
        ApplyNow(sheet);
        RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
        PressSheetButton(sheet, PSBTN_CANCEL);
    }));
    RegCloseKey(volatileRoot);
    RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\VelkTestVolatile");
    ASSERT_EQ(1u, boxes.Count()) << boxes.Describe();
    EXPECT_EQ("The entry \"Split with VELK\" could not be added to Explorer's menu.", boxes.Last().text);
}

TEST_F(PreferencesSheet, CancelWritesNothingThatWasNotApplied) {
    MessageBoxAnswerer boxes;
    ASSERT_TRUE(DriveSheet(OpenSheet(), [&](HWND sheet) {
        HWND directory = PageAt(sheet, kDirectory);
        ClickControl(directory, IDC_PREF_USE_RECENT);
        ApplyNow(sheet);
        TypeIntoLimitBox(directory, "4");
        HWND general = ShowPage(sheet, kGeneral);
        ClickControl(general, IDC_PREF_MIN_TO_TRAY);
        ClickControl(general, IDC_PREF_SHELL_MENU);
        ShowPage(sheet, kDirectory);
        ClickControl(directory, IDC_PREF_SAME_AS_SOURCE);
        PressSheetButton(sheet, PSBTN_CANCEL);
    }));
    EXPECT_EQ(Number(1), ReadNumber("UseMRUD")) << "what Apply wrote stays";
    EXPECT_EQ(Number(5), ReadNumber("MRUDLimit"));
    EXPECT_EQ(Number(1), ReadNumber("MinToSysTray"));
    EXPECT_EQ(Number(1), ReadNumber("ShlRtClkEn"));
    EXPECT_EQ(0u, boxes.Count()) << boxes.Describe();
}

TEST_F(PreferencesSheet, OkWithoutOpeningGeneralWritesOnlyTheDirectoryPage) {
    // 2 reads as on; the page would write it back as 1.
    VelkRegistry::WriteDword("MinToSysTray", 2);
    VelkRegistry::WriteDword("ShlRtClkEn", 2);
    ASSERT_TRUE(DriveSheet(OpenSheet(), [&](HWND sheet) {
        ClickControl(PageAt(sheet, kDirectory), IDC_PREF_USE_RECENT);
        PressSheetButton(sheet, PSBTN_OK);
    }));
    EXPECT_EQ(Number(1), ReadNumber("UseMRUD"));
    EXPECT_EQ(Number(2), ReadNumber("MinToSysTray"));
    EXPECT_EQ(Number(2), ReadNumber("ShlRtClkEn"));

    // Once General has been shown, OK writes it as well, even unchanged.
    ASSERT_TRUE(DriveSheet(OpenSheet(), [&](HWND sheet) {
        ShowPage(sheet, kGeneral);
        ShowPage(sheet, kDirectory);
        PressSheetButton(sheet, PSBTN_OK);
    }));
    EXPECT_EQ(Number(1), ReadNumber("MinToSysTray"));
    EXPECT_EQ(Number(1), ReadNumber("ShlRtClkEn"));
}

TEST_F(PreferencesSheet, LimitOutsideOneToSevenIsReportedWhileTypedAndNeverStored) {
    MessageBoxAnswerer boxes;
    boxes.Then(IDOK).Then(IDOK).Then(IDOK);
    ASSERT_TRUE(DriveSheet(OpenSheet(), [&](HWND sheet) {
        HWND directory = PageAt(sheet, kDirectory);
        TypeIntoLimitBox(directory, "8");
        ExpectLimitMessage(boxes, 1, sheet);
        ExpectLimitBoxFocusedAndSelected(directory);
        EXPECT_FALSE(ApplyEnabled(sheet)) << "an out-of-range limit does not enable Apply";
        // A radio change enables Apply: the radio is written, the limit is not.
        ClickControl(directory, IDC_PREF_USE_RECENT);
        ApplyNow(sheet);
        EXPECT_EQ(Number(5), ReadNumber("MRUDLimit"));
        EXPECT_EQ(Number(1), ReadNumber("UseMRUD"));

        TypeIntoLimitBox(directory, "0");
        ExpectLimitMessage(boxes, 2, sheet);
        ExpectLimitBoxFocusedAndSelected(directory);
        ClickControl(directory, IDC_PREF_SAME_AS_SOURCE);
        ApplyNow(sheet);
        EXPECT_EQ(Number(5), ReadNumber("MRUDLimit"));
        EXPECT_EQ(Number(0), ReadNumber("UseMRUD"));

        // Clearing the box to type a new digit: the empty box reads as 0.
        TypeIntoLimitBox(directory, "");
        ExpectLimitMessage(boxes, 3, sheet);
        ExpectLimitBoxFocusedAndSelected(directory);
        EXPECT_EQ("", ControlText(directory, IDC_PREF_RECENT_LIMIT));
        ClickControl(directory, IDC_PREF_USE_RECENT);
        ApplyNow(sheet);
        EXPECT_EQ(Number(5), ReadNumber("MRUDLimit"));
        EXPECT_EQ(Number(1), ReadNumber("UseMRUD"));

        TypeIntoLimitBox(directory, "3");
        EXPECT_EQ(3u, boxes.Count()) << boxes.Describe();
        EXPECT_TRUE(ApplyEnabled(sheet));
        PressSheetButton(sheet, PSBTN_OK);
    }));
    EXPECT_EQ(Number(3), ReadNumber("MRUDLimit"));
    EXPECT_EQ(5u, appState.settings->mruLimit) << "the new limit acts from the next start";
    EXPECT_EQ(0, boxes.Unexpected());
}

// The page may be left with a bad limit; OK then writes the radio choice only.
TEST_F(PreferencesSheet, OkAfterAnOutOfRangeLimitOnAnotherPageKeepsTheLimitAndWritesTheRadio) {
    MessageBoxAnswerer boxes;
    boxes.Then(IDOK);
    ASSERT_TRUE(DriveSheet(OpenSheet(), [&](HWND sheet) {
        HWND directory = PageAt(sheet, kDirectory);
        ClickControl(directory, IDC_PREF_USE_RECENT);
        TypeIntoLimitBox(directory, "9");
        ShowPage(sheet, kGeneral);
        EXPECT_EQ(kGeneral, CurrentPageIndex(sheet));
        PressSheetButton(sheet, PSBTN_OK);
    }));
    EXPECT_EQ(1u, boxes.Count()) << boxes.Describe();
    EXPECT_EQ(Number(5), ReadNumber("MRUDLimit"));
    EXPECT_EQ(Number(1), ReadNumber("UseMRUD"));
}

// The limit value deleted or made unreadable while the program runs: the box
// shows the limit this run works with, never the status number, and says nothing.
TEST_F(PreferencesSheet, MissingOrUnreadableLimitShowsTheLimitInForce) {
    RestartStoreWith("MRUDLimit", 6);
    ASSERT_EQ(6u, appState.settings->mruLimit);
    struct Case {
        const char* what;
        void (*spoil)();
    } cases[] = {
        {"deleted", [] { VelkRegistry::DeleteValue("MRUDLimit"); }},
        {"stored as a long text", [] { VelkRegistry::WriteText("MRUDLimit", "not a number"); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        c.spoil();
        ASSERT_GE(appState.settings->GetMruLimit(), StatusRegistryError);
        MessageBoxAnswerer boxes;
        ASSERT_TRUE(DriveSheet(OpenSheet(), [&](HWND sheet) {
            EXPECT_EQ("6", ControlText(PageAt(sheet, kDirectory), IDC_PREF_RECENT_LIMIT));
            EXPECT_FALSE(ApplyEnabled(sheet));
            PressSheetButton(sheet, PSBTN_OK);
        }));
        EXPECT_EQ(0u, boxes.Count()) << boxes.Describe();
        // OK stores what the box shows, so the value is whole again.
        EXPECT_EQ(Number(6), ReadNumber("MRUDLimit"));
    }
}

TEST_F(PreferencesSheet, CustomizeOnTheMainWindowOpensTheSheetOwnedByIt) {
    HWND main = CreateMainWindow();
    ASSERT_NE(nullptr, main);
    ASSERT_TRUE(DriveSheet([&] { ClickControl(main, IDC_CUSTOMIZE); }, [&](HWND sheet) {
        EXPECT_EQ(main, GetWindow(sheet, GW_OWNER));
        EXPECT_FALSE(IsWindowEnabled(main)) << "the sheet is modal to the main window";
        ClickControl(PageAt(sheet, kDirectory), IDC_PREF_USE_RECENT);
        PressSheetButton(sheet, PSBTN_OK);
    })) << "Customize did not open the sheet";
    EXPECT_TRUE(IsWindowEnabled(main));
    EXPECT_EQ(Number(1), ReadNumber("UseMRUD"));
}

// "Minimize to Systray" is read at every minimise: the very next one follows it.
TEST_F(PreferencesSheet, NextMinimiseFollowsAChangedMinimizeToSystray) {
    HWND main = CreateMainWindow();
    ASSERT_NE(nullptr, main);
    auto setTrayPreference = [&](bool on) {
        return DriveSheet([&] { ClickControl(main, IDC_CUSTOMIZE); }, [&](HWND sheet) {
            HWND general = ShowPage(sheet, kGeneral);
            if (Checked(general, IDC_PREF_MIN_TO_TRAY) != on) ClickControl(general, IDC_PREF_MIN_TO_TRAY);
            PressSheetButton(sheet, PSBTN_OK);
        });
    };

    ASSERT_TRUE(setTrayPreference(false));
    EXPECT_EQ(Number(0), ReadNumber("MinToSysTray"));
    SendMessageA(main, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    EXPECT_EQ(WindowState::Minimized, appState.windowState);
    EXPECT_TRUE(IsIconic(main));
    SendMessageA(main, WM_SYSCOMMAND, SC_RESTORE, 0);
    EXPECT_EQ(WindowState::Normal, appState.windowState);

    ASSERT_TRUE(setTrayPreference(true));
    EXPECT_EQ(Number(1), ReadNumber("MinToSysTray"));
    SendMessageA(main, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    EXPECT_EQ(WindowState::InTray, appState.windowState);
    EXPECT_FALSE(IsIconic(main)) << "the platform's own minimise is suppressed";
}

// The same typing on the real keyboard of the virtual display: letters never get
// into the box, and each keystroke is checked as it lands.
TEST_F(PreferencesSheet, KeyboardTypingIsCheckedKeystrokeByKeystroke) {
    MessageBoxAnswerer boxes;
    boxes.Then(IDOK).Then(IDOK);
    ASSERT_TRUE(DriveSheet(OpenSheet(), [&](HWND sheet) {
        HWND directory = PageAt(sheet, kDirectory);
        HWND box = GetDlgItem(directory, IDC_PREF_RECENT_LIMIT);
        SetForegroundWindow(sheet);
        SetFocus(box);
        SendMessageA(box, EM_SETSEL, 0, -1);
        ASSERT_EQ(0, XInput("type --delay 30 x8"));
        ASSERT_TRUE(PumpUntil([&] { return boxes.Count() == 1; }, 5000)) << boxes.Describe();
        EXPECT_EQ("8", ControlText(directory, IDC_PREF_RECENT_LIMIT));
        ExpectLimitMessage(boxes, 1, sheet);
        ExpectLimitBoxFocusedAndSelected(directory);

        ASSERT_EQ(0, XInput("key BackSpace"));
        ASSERT_TRUE(PumpUntil([&] { return boxes.Count() == 2; }, 5000)) << boxes.Describe();
        EXPECT_EQ("", ControlText(directory, IDC_PREF_RECENT_LIMIT));

        ASSERT_EQ(0, XInput("type 3"));
        ASSERT_TRUE(PumpUntil([&] { return ApplyEnabled(sheet); }, 5000));
        EXPECT_EQ("3", ControlText(directory, IDC_PREF_RECENT_LIMIT));
        PressSheetButton(sheet, PSBTN_OK);
    }));
    EXPECT_EQ(2u, boxes.Count()) << boxes.Describe();
    EXPECT_EQ(Number(3), ReadNumber("MRUDLimit"));
}
