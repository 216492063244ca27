// Scratch folders and file helpers for tests that work on real files.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// A fresh, empty folder under the temporary directory, removed with its
// contents when the object goes. path() ends without a backslash.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::string& path() const { return path_; }
    // path() + "\\" + name
    std::string operator/(const std::string& name) const { return path_ + "\\" + name; }

private:
    std::string path_;
};

// Deterministic bytes that differ from part to part (a counter mixed with a seed).
std::vector<char> PatternBytes(size_t size, unsigned seed = 1);
bool WriteBytes(const std::string& path, const std::vector<char>& bytes);
bool WritePattern(const std::string& path, size_t size, unsigned seed = 1);
// Makes a file of the given size without writing its contents (sparse where the
// file system allows), for sources too large to fill in a test.
bool MakeSizedFile(const std::string& path, unsigned long long size);
std::vector<char> ReadBytes(const std::string& path);
// A few bytes at an offset of a file of any size (markers in a sparse source, and
// where they landed in its parts); false, or an empty result, when that fails.
bool WriteBytesAt(const std::string& path, unsigned long long offset, const std::string& bytes);
std::string ReadBytesAt(const std::string& path, unsigned long long offset, DWORD count);
std::string ReadText(const std::string& path);
bool FileExists(const std::string& path);
long long FileSize(const std::string& path);  // -1 when missing
// Names of the plain files in a folder, sorted.
std::vector<std::string> ListFiles(const std::string& folder);
void RemoveTree(const std::string& path);

// Runs a command line and waits for it; the exit code, or -1 when it could not start.
int RunProcess(const std::string& commandLine, const std::string& directory = "",
               DWORD timeoutMs = 600000);
