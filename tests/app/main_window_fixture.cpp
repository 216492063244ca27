#include "tests/app/main_window_fixture.h"

#include <shlobj.h>

#include <cstring>
#include <vector>

#include "core/app_state.h"
#include "app/main_window.h"
#include "res/resource.h"
#include "settings/settings_store.h"
#include "tests/support/message_boxes.h"
#include "tests/support/velk_registry.h"

bool TakeQuitMessage() {
    MSG msg;
    bool found = false;
    while (PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) found = true;
    return found;
}

void MainWindowTest::SetUp() {
    CleanVelkKey::SetUp();
    ResetRecentEnumeration();
    ResetAppState();
    appState.settings = nullptr;
    TakeQuitMessage();
}

void MainWindowTest::TearDown() {
    if (window_ != nullptr && IsWindow(window_)) {
        // Closed the program's own way first, then taken down.
        SendMessageA(window_, WM_CLOSE, 0, 0);
        Settle();
        DestroyWindow(window_);
    }
    window_ = nullptr;
    Settle();
    TakeQuitMessage();
    delete appState.settings;
    appState.settings = nullptr;
    ResetAppState();
    CleanVelkKey::TearDown();
    EXPECT_EQ(0u, strayBoxes_.Count()) << "message boxes no step of the test expected:\n"
                                       << strayBoxes_.Describe();
}

void MainWindowTest::SetUseMru(bool on) { VelkRegistry::WriteDword("UseMRUD", on ? 1 : 0); }

void MainWindowTest::SetRecentDirs(const std::vector<std::string>& newestFirst) {
    // The list is read downward from the default slot: newest in the highest slot used.
    DWORD count = static_cast<DWORD>(newestFirst.size());
    for (DWORD i = 0; i < count; ++i) {
        std::string name = "MRUD" + std::to_string(count - i);
        VelkRegistry::WriteText(name, newestFirst[i]);
    }
    VelkRegistry::WriteDword("MRUDDefault", count);
}

HWND MainWindowTest::Open() {
    if (appState.settings == nullptr) appState.settings = new SettingsStore();
    window_ = CreateDialogParamA(appInstance, "VELK", nullptr, MainDialogProc, 0);
    EXPECT_NE(nullptr, window_) << "the VELK template did not open, error " << GetLastError();
    Settle();
    return window_;
}

std::string MainWindowTest::Text(int id) const {
    char text[1024] = "";
    GetDlgItemTextA(window_, id, text, sizeof text);
    return text;
}

int MainWindowTest::FocusId() const {
    HWND focus = GetFocus();
    if (focus == nullptr) return 0;
    // The destination box keeps its focus in its own edit child.
    if (GetParent(focus) == Item(IDC_DEST_BOX)) return IDC_DEST_BOX;
    if (GetParent(focus) != window_) return 0;
    return GetDlgCtrlID(focus);
}

std::string MainWindowTest::SelectedSize() const {
    HWND box = Item(IDC_SIZE_BOX);
    LRESULT index = SendMessageA(box, CB_GETCURSEL, 0, 0);
    if (index < 0) return "(none)";
    char text[64] = "";
    SendMessageA(box, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text));
    return text;
}

void MainWindowTest::SetText(int id, const std::string& text) {
    SendMessageA(Item(id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void MainWindowTest::TypeAndLeave(int box, const std::string& text, int next) {
    Focus(box);
    SetText(box, text);
    Focus(next);
    Settle();
}

void MainWindowTest::Click(int button) {
    SendMessageA(Item(button), BM_CLICK, 0, 0);
    Settle();
}

void MainWindowTest::Drop(const std::vector<std::string>& paths) {
    // A DROPFILES record, then the names, each ended by a zero, and one more zero.
    std::string names;
    for (const std::string& path : paths) names += path + '\0';
    names += '\0';
    HGLOBAL drop = GlobalAlloc(GHND, sizeof(DROPFILES) + names.size());
    auto* header = static_cast<DROPFILES*>(GlobalLock(drop));
    header->pFiles = sizeof(DROPFILES);
    std::memcpy(header + 1, names.data(), names.size());
    GlobalUnlock(drop);
    SendMessageA(window_, WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0);
}

void MainWindowTest::ChooseSize(int index) {
    HWND box = Item(IDC_SIZE_BOX);
    SendMessageA(box, CB_SETCURSEL, index, 0);
    SendMessageA(window_, WM_COMMAND, MAKEWPARAM(IDC_SIZE_BOX, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(box));
    Settle();
}

void MainWindowTest::Settle() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));  // left for the test to see
            break;
        }
        if (window_ == nullptr || !IsDialogMessageA(window_, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
}
