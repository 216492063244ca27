#include "tests/startup/velk_process.h"

#include "core/app_state.h"
#include "gtest/gtest.h"
#include "tests/startup/tray_window.h"
#include "tests/prefs/shell_entry.h"
#include "tests/support/message_boxes.h"

std::string VelkExePath() {
    char path[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, path, sizeof path);
    std::string folder(path);
    folder.erase(folder.find_last_of('\\') + 1);
    return folder + "velk.exe";
}

namespace {
BOOL CALLBACK CollectMainWindow(HWND window, LPARAM windows) {
    char title[64] = "";
    char windowClass[16] = "";
    GetWindowTextA(window, title, sizeof title);
    GetClassNameA(window, windowClass, sizeof windowClass);
    if (lstrcmpA(title, kWindowTitle) == 0 && lstrcmpA(windowClass, "#32770") == 0) {
        reinterpret_cast<std::vector<HWND>*>(windows)->push_back(window);
    }
    return TRUE;
}
}  // namespace

std::vector<HWND> MainWindows() {
    std::vector<HWND> windows;
    EnumWindows(CollectMainWindow, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

void VelkProcessTest::SetUp() {
    CleanVelkKey::SetUp();
    DeleteShellEntry();
}

void VelkProcessTest::TearDown() {
    for (VelkProcess* process : processes) {
        if (WaitForSingleObject(process->info.hProcess, 0) == WAIT_TIMEOUT) {
            TerminateProcess(process->info.hProcess, 1);
            WaitForSingleObject(process->info.hProcess, 10000);
        }
        CloseHandle(process->info.hThread);
        CloseHandle(process->info.hProcess);
        delete process;
    }
    processes.clear();
    DeleteShellEntry();
    CleanVelkKey::TearDown();
}

VelkProcess* VelkProcessTest::Start(const std::string& arguments, const std::string& directory) {
    std::string exe = VelkExePath();
    if (GetFileAttributesA(exe.c_str()) == INVALID_FILE_ATTRIBUTES) {
        ADD_FAILURE() << exe << " is missing: build the target velk beside the tests";
        return nullptr;
    }
    std::string commandLine = "\"" + exe + "\"";
    if (!arguments.empty()) commandLine += " " + arguments;
    return StartCommandLine(commandLine, directory);
}

VelkProcess* VelkProcessTest::StartCommandLine(const std::string& commandLine, const std::string& directory) {
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    auto* process = new VelkProcess;
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        directory.empty() ? nullptr : directory.c_str(), &startup, &process->info)) {
        ADD_FAILURE() << "could not start " << commandLine << ": error " << GetLastError();
        delete process;
        return nullptr;
    }
    processes.push_back(process);
    return process;
}

VelkProcess* VelkProcessTest::StartFirst(const std::string& arguments) {
    VelkProcess* process = Start(arguments);
    if (process == nullptr) return nullptr;
    if (WaitForWindow(process) == nullptr) {
        ADD_FAILURE() << "the first instance showed no window";
        return nullptr;
    }
    return process;
}

HWND VelkProcessTest::WaitForWindow(VelkProcess* process, DWORD timeoutMs) {
    // Idle means its modal loop waits for input: the window exists by then.
    WaitForInputIdle(process->info.hProcess, timeoutMs);
    DWORD start = GetTickCount();
    for (;;) {
        for (HWND window : MainWindows()) {
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner == process->info.dwProcessId) {
                DWORD_PTR answer;
                if (SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, timeoutMs, &answer)) {
                    process->window = window;
                    return window;
                }
            }
        }
        if (GetTickCount() - start > timeoutMs) return nullptr;
        // Wakes at once should the process end instead of showing its window.
        if (WaitForSingleObject(process->info.hProcess, 20) == WAIT_OBJECT_0) return nullptr;
    }
}

int VelkProcessTest::WaitForExit(VelkProcess* process, DWORD timeoutMs) {
    if (WaitForSingleObject(process->info.hProcess, timeoutMs) != WAIT_OBJECT_0) return -1;
    DWORD code = 0;
    GetExitCodeProcess(process->info.hProcess, &code);
    return static_cast<int>(code);
}

bool VelkProcessTest::Alive(VelkProcess* process) {
    if (WaitForSingleObject(process->info.hProcess, 0) != WAIT_TIMEOUT) return false;
    DWORD_PTR answer;
    return SendMessageTimeoutA(process->window, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &answer) != 0;
}

HWND WaitForMessageBox(VelkProcess* process, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    do {
        for (HWND box = nullptr; (box = FindWindowExA(nullptr, box, "#32770", nullptr)) != nullptr;) {
            DWORD owner = 0;
            GetWindowThreadProcessId(box, &owner);
            if (owner == process->info.dwProcessId && IsWindowVisible(box) && IsMessageBox(box)) return box;
        }
        // Wakes at once should the process end instead.
    } while (GetTickCount() - start < timeoutMs && WaitForSingleObject(process->info.hProcess, 50) == WAIT_TIMEOUT);
    return nullptr;
}

std::string ControlText(HWND window, int id) {
    char text[1024] = "";
    SendMessageA(GetDlgItem(window, id), WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
    return text;
}

std::string WindowLook(HWND window) {
    std::string text = IsWindowVisible(window) ? "visible" : "hidden";
    if (IsIconic(window)) text += ", minimised";
    text += TrayIconPresent(window) ? ", icon" : ", no icon";
    return text;
}
