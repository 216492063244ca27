// Runs a command of the Linux machine that hosts Wine (xdotool, import, ...) from a
// test program, and waits for it. Wine starts such a program detached, so the
// command leaves a marker file when it is done and the test waits for that file.
#pragma once

#include <windows.h>

#include <string>

// Runs `shellCommand` with /bin/sh; returns its exit code, or -1 when it could not
// be started or did not finish within the time.
int RunUnixCommand(const std::string& shellCommand, DWORD timeoutMs = 60000);

// Real X input on the virtual display, as a person gives it: xdotool arguments,
// e.g. XInput("key Tab"), XInput("type --delay 20 'C:\\data.zip'").
int XInput(const std::string& xdotoolArguments);

// The Linux path of a file of the prefix, for commands run from Linux ("" if none).
std::string UnixPathOf(const std::string& windowsPath);
