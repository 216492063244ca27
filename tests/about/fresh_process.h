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

// Runs the test named by filter (DISABLED_ tests included) and returns the exit
// code: 0 when it passed. With settings, the run is of a copy of this program
// named programName, and the settings are removed again afterwards.
int RunTestInFreshProcess(const std::string& filter, const std::string& programName = "",
                          const std::vector<ProgramSetting>& settings = {});
