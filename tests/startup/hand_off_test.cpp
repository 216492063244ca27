// The receiving side of the hand-off, on a dialog of this process titled like the
// main window, and the sending side's message.
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/app_state.h"
#include "app/startup.h"
#include "gtest/gtest.h"
#include "tests/startup/tray_window.h"
#include "tests/support/message_boxes.h"
#include "tests/support/test_files.h"

namespace {

std::string Describe(HWND window) {
    std::string text;
    switch (appState.windowState) {
    case WindowState::Normal: text = "state Normal"; break;
    case WindowState::Minimized: text = "state Minimized"; break;
    case WindowState::InTray: text = "state InTray"; break;
    }
    text += IsWindowVisible(window) ? ", visible" : ", hidden";
    if (IsIconic(window)) text += ", minimised";
    text += TrayIconPresent(window) ? ", icon" : ", no icon";
    return text;
}

class HandOffTest : public TrayWindowTest {
protected:
    void SetUp() override {
        TrayWindowTest::SetUp();
        file = folder / "data file.zip";
        other = folder / "other.zip";
        ASSERT_TRUE(WritePattern(file, 3000000));
        ASSERT_TRUE(WritePattern(other, 1000));
    }
    void Send(const void* bytes, DWORD size, ULONG_PTR tag = kHandOffTag) {
        COPYDATASTRUCT data{};
        data.dwData = tag;
        data.cbData = size;
        data.lpData = const_cast<void*>(bytes);
        SendMessageA(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
    }
    ScratchDir folder;
    std::string file;
    std::string other;
};

}  // namespace

TEST_F(HandOffTest, APathComesInAndTheWindowComesForward) {
    ASSERT_TRUE(HandOffArguments(file.c_str()));
    EXPECT_STREQ(file.c_str(), appState.sourcePath);
    EXPECT_EQ("state Normal, visible, no icon", Describe(window));
}

TEST_F(HandOffTest, APathInQuotesComesInWithoutThem) {
    ASSERT_TRUE(HandOffArguments(("\"" + file + "\"").c_str()));
    EXPECT_STREQ(file.c_str(), appState.sourcePath);
}

TEST_F(HandOffTest, AMinimisedWindowIsRestored) {
    SetMinToTray(false);
    Minimize();
    ASSERT_EQ("state Minimized, visible, minimised, no icon", Describe(window));
    HandOffArguments(file.c_str());
    EXPECT_EQ("state Normal, visible, no icon", Describe(window));
    EXPECT_STREQ(file.c_str(), appState.sourcePath);
}

TEST_F(HandOffTest, AWindowMinimisedWithoutTheSystemCommandIsRestoredToo) {
    ShowWindow(window, SW_MINIMIZE);  // as the shell's "show the desktop" does
    ASSERT_EQ("state Normal, visible, minimised, no icon", Describe(window));
    HandOffArguments(file.c_str());
    EXPECT_EQ("state Normal, visible, no icon", Describe(window));
}

TEST_F(HandOffTest, AWindowInTheTrayComesOutAndTheIconGoes) {
    Minimize();
    ASSERT_EQ("state InTray, hidden, icon", Describe(window));
    appState.trayRestoreArmed = true;
    HandOffArguments(file.c_str());
    EXPECT_EQ("state Normal, visible, no icon", Describe(window));
    EXPECT_TRUE(appState.trayRestoreArmed) << "the hand-off leaves the double-click flag alone";
    EXPECT_STREQ(file.c_str(), appState.sourcePath);
}

TEST_F(HandOffTest, WithoutArgumentsOrWithNoExistingPathOnlyTheWindowComesBack) {
    CopyText(appState.sourcePath, other.c_str());
    Minimize();
    HandOffArguments("");
    EXPECT_EQ("state Normal, visible, no icon", Describe(window));
    Minimize();
    HandOffArguments((file + ".missing").c_str());
    EXPECT_EQ("state Normal, visible, no icon", Describe(window));
    EXPECT_STREQ(other.c_str(), appState.sourcePath);
}

TEST_F(HandOffTest, DuringASplitRunTheSourceAndTheWindowStayTheRuns) {
    CopyText(appState.sourcePath, other.c_str());
    appState.fileSize = 1000;
    appState.partCount = 1;
    appState.runActive = true;
    Minimize();
    HandOffArguments(file.c_str());
    EXPECT_EQ("state InTray, hidden, icon", Describe(window));
    EXPECT_STREQ(other.c_str(), appState.sourcePath);
    EXPECT_EQ(1000u, appState.fileSize);
    EXPECT_EQ(1u, appState.partCount);
    EXPECT_TRUE(appState.runActive);
}

TEST_F(HandOffTest, MalformedMessagesChangeNothing) {
    CopyText(appState.sourcePath, other.c_str());
    Minimize();
    ASSERT_EQ("state InTray, hidden, icon", Describe(window));

    // The text ends exactly at a page the program may not read: a look past the
    // bytes received ends the test process.
    SYSTEM_INFO system;
    GetSystemInfo(&system);
    const DWORD page = system.dwPageSize;
    char* pages = static_cast<char*>(VirtualAlloc(nullptr, 2 * page, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    ASSERT_NE(nullptr, pages);
    DWORD old;
    ASSERT_TRUE(VirtualProtect(pages + page, page, PAGE_NOACCESS, &old));
    const DWORD length = static_cast<DWORD>(file.size());
    char* unterminated = pages + page - length;
    std::memcpy(unterminated, file.c_str(), length);

    std::string tooLong(300, 'a');
    std::string fileWithZero = file;  // a real path, sent with the wrong tag

    Send(unterminated, length);
    EXPECT_EQ("state InTray, hidden, icon", Describe(window)) << "no terminator";
    Send(tooLong.c_str(), 0);
    EXPECT_EQ("state InTray, hidden, icon", Describe(window)) << "cbData 0";
    Send(nullptr, 20);
    EXPECT_EQ("state InTray, hidden, icon", Describe(window)) << "null pointer";
    Send(fileWithZero.c_str(), static_cast<DWORD>(fileWithZero.size() + 1), 0x87654321);
    EXPECT_EQ("state InTray, hidden, icon", Describe(window)) << "wrong tag";
    SendMessageA(window, WM_COPYDATA, 0, 0);
    EXPECT_EQ("state InTray, hidden, icon", Describe(window)) << "no record at all";
    EXPECT_STREQ(other.c_str(), appState.sourcePath);

    // Well formed but no path of at most 259 characters: a hand-off that brings
    // the window back, says so and loads nothing.
    MessageBoxAnswerer boxes;
    Send(tooLong.c_str(), static_cast<DWORD>(tooLong.size() + 1));
    EXPECT_EQ("state Normal, visible, no icon", Describe(window)) << "too long";
    EXPECT_STREQ(other.c_str(), appState.sourcePath);
    EXPECT_EQ(1u, boxes.Count()) << boxes.Describe();

    // The terminator need not be the last byte received.
    std::vector<char> padded(file.begin(), file.end());
    padded.resize(padded.size() + 40, '\0');
    Send(padded.data(), static_cast<DWORD>(padded.size()));
    EXPECT_STREQ(file.c_str(), appState.sourcePath);

    VirtualFree(pages, 0, MEM_RELEASE);
}

namespace {
std::vector<std::string> carried;
ULONG_PTR carriedTag;
HWND carriedTo;

LRESULT CALLBACK RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COPYDATA) {
        auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        carriedTag = data->dwData;
        carriedTo = window;
        carried.emplace_back(static_cast<const char*>(data->lpData), data->cbData);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}
}  // namespace

TEST(HandOffSender, CarriesTheRawArgumentTextWithItsZeroToTheMarkedMainWindowPastWindowsTitledAlike) {
    ASSERT_FALSE(HandOffArguments("C:\\data.zip")) << "found a window without one being there";

    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = RecordingProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "VelkHandOffRecorder";
    RegisterClassA(&windowClass);
    // The main window is a dialog with the mark. A box and another program's window
    // (a folder named like the release) titled alike lie above it: passed by.
    HWND recorder = CreateWindowExA(0, "#32770", kWindowTitle, WS_OVERLAPPEDWINDOW, 0, 0, 50, 50, nullptr,
                                    nullptr, windowClass.hInstance, nullptr);
    ASSERT_NE(nullptr, recorder);
    SetWindowLongPtrA(recorder, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(RecordingProc));
    SetPropA(recorder, kMainWindowMark, reinterpret_cast<HANDLE>(1));
    HWND box = CreateWindowExA(0, "#32770", kWindowTitle, WS_POPUP | WS_CAPTION, 0, 0, 50, 50, nullptr, nullptr,
                               windowClass.hInstance, nullptr);
    HWND folderWindow = CreateWindowExA(0, "VelkHandOffRecorder", kWindowTitle, WS_OVERLAPPEDWINDOW, 0, 0, 50,
                                        50, nullptr, nullptr, windowClass.hInstance, nullptr);
    SetWindowPos(box, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    SetWindowPos(folderWindow, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    carried.clear();
    const char quoted[] = "\"C:\\My Files\\data.zip\" ";
    EXPECT_TRUE(HandOffArguments(quoted));
    EXPECT_TRUE(HandOffArguments(""));
    DestroyWindow(recorder);
    DestroyWindow(box);
    DestroyWindow(folderWindow);

    ASSERT_EQ(2u, carried.size());
    EXPECT_EQ(kHandOffTag, carriedTag);
    EXPECT_EQ(recorder, carriedTo);
    EXPECT_EQ(std::string(quoted, sizeof quoted), carried[0]) << "the text and its zero, quotes and blank kept";
    EXPECT_EQ(std::string("\0", 1), carried[1]);
}
