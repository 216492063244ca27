#include "tests/about/fresh_process.h"

#include <windows.h>

#include "tests/support/test_files.h"

namespace {
const std::string kAppDefaults = "Software\\Wine\\AppDefaults\\";

void DeleteKeyTree(HKEY root, const std::string& path) {
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ | KEY_WRITE, &key) == ERROR_SUCCESS) {
        char name[256];
        DWORD length = sizeof(name);
        while (RegEnumKeyExA(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS) {
            DeleteKeyTree(root, path + "\\" + name);
            length = sizeof(name);
        }
        RegCloseKey(key);
    }
    RegDeleteKeyA(root, path.c_str());
}
}  // namespace

int RunTestInFreshProcess(const std::string& filter, const std::string& programName,
                          const std::vector<ProgramSetting>& settings) {
    char program[MAX_PATH];
    GetModuleFileNameA(nullptr, program, sizeof(program));
    ScratchDir copyDir;
    std::string run = program;
    std::string programKey;
    if (!programName.empty()) {
        run = copyDir / programName;
        if (!CopyFileA(program, run.c_str(), FALSE)) return -1;
        programKey = kAppDefaults + programName;
        for (const ProgramSetting& setting : settings) {
            std::string path = setting.subkey.empty() ? programKey : programKey + "\\" + setting.subkey;
            HKEY key;
            if (RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                                &key, nullptr) != ERROR_SUCCESS) {
                return -1;
            }
            RegSetValueExA(key, setting.name.c_str(), 0, REG_SZ,
                           reinterpret_cast<const BYTE*>(setting.value.c_str()),
                           static_cast<DWORD>(setting.value.size() + 1));
            RegCloseKey(key);
        }
    }
    std::string line = "\"" + run + "\" --gtest_also_run_disabled_tests --gtest_filter=" + filter;
    int exitCode = RunProcess(line, "", 60000);
    if (!programKey.empty()) DeleteKeyTree(HKEY_CURRENT_USER, programKey);
    return exitCode;
}
