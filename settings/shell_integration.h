// Explorer's right-click entry for every file ("ShlRtClkEn"), registered for the
// current user only, so that no administrator rights are needed.
#pragma once

// Under HKEY_CURRENT_USER: the program's own verb, the only key it writes or
// deletes among the user's classes. Its command subkey starts the program with
// the file, "<full path of the program>" "%1".
constexpr char kShellVerbKey[] = "Software\\Classes\\*\\shell\\VelkSplit";
constexpr char kShellVerbText[] = "Split with &VELK";

// Puts the entry in step with `present`: written for the program's current path,
// or deleted with all it holds. Shows nothing; false when the registry refused, in
// which case nothing else has changed (an entry this call began is taken away).
bool SetShellMenuEntry(bool present);

// At start: with `present` the entry is written only when it is missing or its
// program no longer exists, and never for a copy run from a temporary folder or a
// removable drive, nor for a path its command could not start; without, deleted.
// False when the registry refused.
bool KeepShellMenuEntry(bool present);
