#include "tests/split/split_fixture.h"

#include "split/split_run.h"

std::vector<char> SplitTest::ChooseSource(const std::string& name, size_t size, DWORD splitSize,
                                          const std::string& destDir) {
    std::vector<char> bytes = PatternBytes(size, static_cast<unsigned>(size) + 7);
    EXPECT_TRUE(WriteBytes(sources_ / name, bytes)) << sources_ / name;
    SetRun(sources_ / name, static_cast<DWORD>(size), splitSize,
           destDir.empty() ? dest_.path() : destDir);
    return bytes;
}

void SplitTest::SetRun(const std::string& sourcePath, DWORD fileSize, DWORD splitSize,
                       const std::string& destDir) {
    CopyText(appState.sourcePath, sourcePath.c_str());
    CopyText(appState.destDir, destDir.c_str());
    appState.fileSize = fileSize;
    appState.splitSize = splitSize;
    ComputePartCount();
}

std::string SplitTest::PartName(const std::string& name, unsigned index) {
    char number[16];
    wsprintfA(number, ".%03u", index);
    return name + number;
}

std::vector<char> SplitTest::JoinParts(const std::string& folder, const std::string& name,
                                       unsigned count) {
    std::vector<char> all;
    for (unsigned i = 1; i <= count; ++i) {
        std::vector<char> part = ReadBytes(folder + "\\" + PartName(name, i));
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

bool MakeReadOnlyFile(const std::string& path) {
    if (!WriteBytes(path, {'o', 'l', 'd'})) return false;
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY);
    HANDLE probe = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (probe == INVALID_HANDLE_VALUE) return true;
    CloseHandle(probe);
    return false;
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
