#include "tests/acceptance/person.h"

#include <vector>

#include "core/app_state.h"
#include "tests/support/test_files.h"
#include "tests/support/unix_command.h"

namespace {
std::string ShellQuote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) {
        if (c == '\'') {
            quoted += "'\\''";
        } else {
            quoted += c;
        }
    }
    return quoted + "'";
}

struct Search {
    DWORD processId;
    std::string caption;
    bool messageBox;
    HWND except;
    HWND found;
};

BOOL CALLBACK FindTopLevel(HWND window, LPARAM data) {
    Search* search = reinterpret_cast<Search*>(data);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search->processId || !IsWindowVisible(window) || window == search->except) {
        return TRUE;
    }
    char cls[16] = "";
    GetClassNameA(window, cls, sizeof cls);
    if (lstrcmpA(cls, "#32770") != 0) return TRUE;
    if (search->messageBox != IsMessageBox(window)) return TRUE;
    if (!search->caption.empty()) {
        char caption[256] = "";
        GetWindowTextA(window, caption, sizeof caption);
        if (search->caption != caption) return TRUE;
    }
    search->found = window;
    return FALSE;
}

HWND WaitForTopLevel(DWORD processId, const std::string& caption, bool messageBox,
                     DWORD timeoutMs, HWND except = nullptr) {
    Search search{processId, caption, messageBox, except, nullptr};
    PumpUntil(
        [&] {
            search.found = nullptr;
            EnumWindows(FindTopLevel, reinterpret_cast<LPARAM>(&search));
            return search.found != nullptr;
        },
        timeoutMs);
    return search.found;
}
}  // namespace

std::string ProgramFolder() {
    char path[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, path, sizeof path);
    std::string folder = path;
    return folder.substr(0, folder.find_last_of('\\'));
}

VelkProcess::VelkProcess(const std::string& arguments) {
    std::string line = "\"" + ProgramFolder() + "\\velk.exe\"";
    if (!arguments.empty()) line += " " + arguments;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    std::vector<char> buffer(line.begin(), line.end());
    buffer.push_back('\0');
    if (!CreateProcessA(nullptr, buffer.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        ProgramFolder().c_str(), &startup, &process_)) {
        return;
    }
    WaitForInputIdle(process_.hProcess, 20000);
    PumpUntil(
        [&] {
            HWND found = FindWindowA(nullptr, kWindowTitle);
            if (found && IsWindowVisible(found) && GetDlgItem(found, 1005)) window_ = found;
            return window_ != nullptr;
        },
        20000);
}

VelkProcess::~VelkProcess() {
    if (process_.hProcess) {
        if (Running()) {
            if (window_) PostMessageA(window_, WM_CLOSE, 0, 0);
            if (WaitForSingleObject(process_.hProcess, 5000) != WAIT_OBJECT_0) {
                TerminateProcess(process_.hProcess, 1);
                WaitForSingleObject(process_.hProcess, 5000);
            }
        }
        CloseHandle(process_.hThread);
        CloseHandle(process_.hProcess);
    }
}

bool VelkProcess::Running() const {
    return process_.hProcess && WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT;
}

bool VelkProcess::WaitForExit(DWORD timeoutMs) {
    return PumpUntil([&] { return !Running(); }, timeoutMs);
}

bool VelkProcess::CloseByButton() {
    Person::Click(control(1008));
    return WaitForExit();
}

int RunVelk(const std::string& arguments, DWORD timeoutMs) {
    std::string line = "\"" + ProgramFolder() + "\\velk.exe\"";
    if (!arguments.empty()) line += " " + arguments;
    return RunProcess(line, ProgramFolder(), timeoutMs);
}

namespace Person {
void ClickAt(int x, int y) {
    XInput("mousemove " + std::to_string(x) + " " + std::to_string(y) + " click 1");
}

void Click(HWND control) {
    RECT rect;
    GetWindowRect(control, &rect);
    ClickAt((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
}

void DoubleClick(HWND control) {
    RECT rect;
    GetWindowRect(control, &rect);
    XInput("mousemove " + std::to_string((rect.left + rect.right) / 2) + " " +
           std::to_string((rect.top + rect.bottom) / 2) + " click --repeat 2 --delay 80 1");
}

void Type(const std::string& text) { XInput("type --delay 15 " + ShellQuote(text)); }

void Keys(const std::string& keys) { XInput("key --delay 40 " + keys); }

void TypeInto(HWND box, const std::string& text) {
    Click(box);
    Keys("ctrl+a BackSpace");
    Type(text);
}
}  // namespace Person

std::string TextOf(HWND control) {
    char text[1024] = "";
    DWORD_PTR result = 0;
    SendMessageTimeoutA(control, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text),
                        SMTO_ABORTIFHUNG, 5000, &result);
    return text;
}

std::vector<std::string> ComboItems(HWND combo) {
    std::vector<std::string> items;
    LRESULT count = SendMessageW(combo, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        // Across processes only the wide message carries the item's text whole.
        wchar_t wide[MAX_PATH] = L"";
        SendMessageW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(wide));
        char text[MAX_PATH] = "";
        WideCharToMultiByte(CP_ACP, 0, wide, -1, text, sizeof text, nullptr, nullptr);
        items.push_back(text);
    }
    return items;
}

int ComboSelection(HWND combo) {
    return static_cast<int>(SendMessageA(combo, CB_GETCURSEL, 0, 0));
}

HWND WaitForMessageBox(DWORD processId, DWORD timeoutMs) {
    return WaitForTopLevel(processId, "", true, timeoutMs);
}

HWND WaitForDialog(DWORD processId, const std::string& caption, DWORD timeoutMs, HWND except) {
    return WaitForTopLevel(processId, caption, false, timeoutMs, except);
}

HWND WaitForWindow(const std::string& caption, DWORD timeoutMs) {
    HWND found = nullptr;
    PumpUntil(
        [&] {
            found = FindWindowA(nullptr, caption.c_str());
            return found != nullptr && IsWindowVisible(found);
        },
        timeoutMs);
    return found != nullptr && IsWindowVisible(found) ? found : nullptr;
}

bool Settled(HWND window) {
    DWORD_PTR result = 0;
    return SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &result) != 0;
}

bool WaitGone(HWND window, DWORD timeoutMs) {
    return PumpUntil([&] { return !IsWindow(window) || !IsWindowVisible(window); }, timeoutMs);
}

SeenBox AnswerBox(HWND box, int button) {
    SeenBox seen = ReadMessageBox(box);
    seen.answer = button;
    Person::Click(GetDlgItem(box, button));
    WaitGone(box);
    return seen;
}

void RunningVelk::SetUp() {
    CleanVelkKey::SetUp();
    velk_ = std::make_unique<VelkProcess>();
    ASSERT_TRUE(velk_->started());
}

void RunningVelk::TearDown() {
    velk_.reset();
    CleanVelkKey::TearDown();
}

SeenBox RunningVelk::Box(int button) {
    HWND box = WaitForMessageBox(velk_->id());
    if (!box) return SeenBox{"(no message box)", "", 0, 0, nullptr, 0};
    return AnswerBox(box, button);
}
