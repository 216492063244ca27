// One split done the way a person does it: real mouse clicks and keystrokes on the
// virtual X display (xdotool), into the main window running its own modal loop.
#include <windows.h>

#include <string>

#include "core/app_state.h"
#include "app/main_window.h"
#include "res/resource.h"
#include "settings/settings_store.h"
#include "tests/app/main_window_fixture.h"
#include "tests/app/ui_script.h"
#include "tests/support/message_boxes.h"
#include "tests/support/test_files.h"
#include "tests/support/velk_registry.h"

namespace {
// Starts xdotool on the Linux side without waiting for it: the dialog's own modal
// loop has to keep running to take the input. The script waits on the effects.
bool StartXdotool(const std::string& arguments) {
    std::string line = "/usr/bin/xdotool " + arguments;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        ADD_FAILURE() << "xdotool could not be started: " << line;
        return false;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

// "mousemove X Y click 1" at the middle of a control, in screen (= X root) pixels.
std::string ClickOn(HWND control) {
    RECT r;
    GetWindowRect(control, &r);
    return "mousemove " + std::to_string((r.left + r.right) / 2) + " " +
           std::to_string((r.top + r.bottom) / 2) + " click 1";
}

HWND MainWindow() { return FindThreadWindow("#32770", kWindowTitle); }

BOOL CALLBACK IsOwnedMessageBox(HWND window, LPARAM found) {
    if (IsWindowVisible(window) && IsMessageBox(window) && GetWindow(window, GW_OWNER)) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

// The summary: a message box owned by the main window.
HWND SummaryBox() {
    HWND box = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), IsOwnedMessageBox, reinterpret_cast<LPARAM>(&box));
    return box;
}

HWND DestEdit(HWND main) { return GetWindow(GetDlgItem(main, IDC_DEST_BOX), GW_CHILD); }

class RealInput : public CleanVelkKey {
protected:
    void SetUp() override {
        CleanVelkKey::SetUp();
        ResetRecentEnumeration();
        ResetAppState();
        appState.settings = new SettingsStore();
    }
    void TearDown() override {
        delete appState.settings;
        appState.settings = nullptr;
        ResetAppState();
        TakeQuitMessage();
        CleanVelkKey::TearDown();
    }
};
}  // namespace

TEST_F(RealInput, TypeThePathsClickSplitAndAnswerTheSummary) {
    if (GetEnvironmentVariableA("DISPLAY", nullptr, 0) == 0) GTEST_SKIP() << "no X display";
    ScratchDir src, out;
    std::string source = src / "data.zip";
    std::vector<char> bytes = PatternBytes(3000000, 11);
    ASSERT_TRUE(WriteBytes(source, bytes));

    std::string summary;
    UiScript script(20000);
    script.When("main window shown", [] { return MainWindow() != nullptr; }, [] {
        SetForegroundWindow(MainWindow());
        StartXdotool(ClickOn(GetDlgItem(MainWindow(), IDC_SOURCE_BOX)));
    });
    script.When("file box focused by the click",
                [] { return GetFocus() == GetDlgItem(MainWindow(), IDC_SOURCE_BOX); },
                [&] { StartXdotool("type --delay 10 \"" + source + "\""); });
    // xdotool's type takes all its remaining words as text: Tab is a second command.
    script.When("path typed into the file box",
                [&] { return ItemText(MainWindow(), IDC_SOURCE_BOX) == source; },
                [] { StartXdotool("key Tab"); });
    script.When("the file box left with the path typed",
                [&] { return source == appState.sourcePath && appState.fileSize == 3000000; },
                [] { StartXdotool(ClickOn(DestEdit(MainWindow()))); });
    script.When("destination box focused by the click",
                [] { return GetFocus() == DestEdit(MainWindow()); },
                [&] { StartXdotool("type --delay 10 \"" + out.path() + "\""); });
    script.When("folder typed into the destination box",
                [&] { return ItemText(MainWindow(), IDC_DEST_BOX) == out.path(); },
                [] { StartXdotool("key Tab"); });
    script.When("the destination box left with the folder typed",
                [&] { return out.path() == appState.destDir; },
                [] { StartXdotool(ClickOn(GetDlgItem(MainWindow(), IDC_SPLIT))); });
    script.When("summary shown", [] { return SummaryBox() != nullptr; }, [&] {
        summary = ReadMessageBox(SummaryBox()).text;
        StartXdotool("key Return");
    });
    script.When("form reset after the summary",
                [] { return SummaryBox() == nullptr && appState.sourcePath[0] == '\0'; },
                [] { StartXdotool(ClickOn(GetDlgItem(MainWindow(), IDC_CLOSE))); });
    script.OnTimeout([] {
        ADD_FAILURE() << "file box: [" << ItemText(MainWindow(), IDC_SOURCE_BOX)
                      << "], destination box: [" << ItemText(MainWindow(), IDC_DEST_BOX) << "]";
        PostQuitMessage(0);
    });

    DialogBoxParamA(appInstance, "VELK", nullptr, MainDialogProc, 0);

    EXPECT_TRUE(script.Finished()) << "stuck at: " << script.Waiting();
    EXPECT_EQ("File\t : data.zip Split Successfully\n#Parts\t : 3 part(s) \nTarget Dir\t : " +
                  out.path() + "\\",
              summary);
    EXPECT_EQ((std::vector<std::string>{"data.zip.001", "data.zip.002", "data.zip.003",
                                        "data.zip.bat", "data.zip.sha256"}),
              ListFiles(out.path()));
    std::vector<char> joined;
    for (const char* part : {"data.zip.001", "data.zip.002", "data.zip.003"}) {
        std::vector<char> piece = ReadBytes(out / part);
        joined.insert(joined.end(), piece.begin(), piece.end());
    }
    EXPECT_TRUE(joined == bytes) << "the parts do not join to the source";
    std::string script_text = ReadText(out / "data.zip.bat");
    EXPECT_NE(std::string::npos, script_text.find("data.zip.001")) << script_text;
    EXPECT_EQ(out.path() + "\\", VelkRegistry::Read("MRUD1").Text());
}
