#include "tests/support/unix_command.h"

#include <cstdio>
#include <string>

#include "tests/support/message_boxes.h"

namespace {
int unixCounter = 0;

// The Linux root is drive Z: in the prefix.
std::string WindowsPathOf(const std::string& unixPath) {
    std::string path = "Z:" + unixPath;
    for (char& c : path) {
        if (c == '/') c = '\\';
    }
    return path;
}

// Wine splits the command line of a Linux program by the Windows rules: one
// argument in double quotes, with \" for a quote inside.
std::string WindowsQuote(const std::string& text) {
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"') quoted += '\\';
        quoted += c;
    }
    return quoted + "\"";
}
}  // namespace

int RunUnixCommand(const std::string& shellCommand, DWORD timeoutMs) {
    // Test programs of other prefixes (another checkout's run) share /tmp and may have
    // the same process id: the clock's count at the call keeps their markers apart.
    LARGE_INTEGER now{};
    QueryPerformanceCounter(&now);
    char name[128];
    std::snprintf(name, sizeof name, "/tmp/velk-unix-%lu-%d-%llx.done", GetCurrentProcessId(),
                  ++unixCounter, static_cast<unsigned long long>(now.QuadPart));
    std::string marker = name;
    std::string markerWin = WindowsPathOf(marker);
    DeleteFileA(markerWin.c_str());

    std::string script = "(" + shellCommand + ") >/dev/null 2>&1; echo $? > " + marker + ".tmp; mv " +
                         marker + ".tmp " + marker;
    std::string line = "/bin/sh -c " + WindowsQuote(script);

    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::string buffer = line;
    if (!CreateProcessA(nullptr, &buffer[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        return -1;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);

    bool done = PumpUntil([&] { return GetFileAttributesA(markerWin.c_str()) != INVALID_FILE_ATTRIBUTES; },
                          timeoutMs);
    if (!done) return -1;
    int code = -1;
    if (FILE* file = std::fopen(markerWin.c_str(), "r")) {
        if (std::fscanf(file, "%d", &code) != 1) code = -1;
        std::fclose(file);
    }
    DeleteFileA(markerWin.c_str());
    return code;
}

int XInput(const std::string& xdotoolArguments) {
    return RunUnixCommand("xdotool " + xdotoolArguments);
}

std::string UnixPathOf(const std::string& windowsPath) {
    using UnixNameCall = char*(CDECL*)(LPCWSTR);
    auto unixName = reinterpret_cast<UnixNameCall>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    WCHAR wide[MAX_PATH];
    if (unixName == nullptr ||
        MultiByteToWideChar(CP_ACP, 0, windowsPath.c_str(), -1, wide, MAX_PATH) == 0) {
        return "";
    }
    char* name = unixName(wide);
    if (name == nullptr) return "";
    std::string path = name;
    HeapFree(GetProcessHeap(), 0, name);
    return path;
}
