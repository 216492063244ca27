// Runs one test of this program in a process of its own: for state that lasts
// for a whole process (the help loader, the link's window class), and for a run
// under the platform's per-program settings (Wine's AppDefaults), which apply to
// a program by its file name, so the copy runs under a name of its own.
#pragma once

#include <string>
#include <vector>

struct ProgramSetting {
    std::string subkey;  // under the program's AppDefaults key, e.g. "DllOverrides"; "" for the key itself
    std::string name;    // e.g. "hhctrl.ocx", "Version"
    std::string value;   // e.g. "" (not loaded), "win95"
};

// A file put beside the copy: the file at `from`, under the name `name`.
struct FileBeside {
    std::string from;
    std::string name;
};

// Runs the test named by filter (DISABLED_ tests included) and returns the exit
// code: 0 when it passed. With a programName, the run is of a copy of this program
// of that name, alone in a folder but for the files beside it, under the settings
// given, which are removed again afterwards.
int RunTestInFreshProcess(const std::string& filter, const std::string& programName = "",
                          const std::vector<ProgramSetting>& settings = {},
                          const std::vector<FileBeside>& beside = {});
