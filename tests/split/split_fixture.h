// A split run's setting for the tests of the engine: a source folder and a
// destination folder, appState pointed at them, and the files read back.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "core/app_state.h"
#include "split/merge_script.h"
#include "gtest/gtest.h"
#include "tests/support/test_files.h"
#include "tests/support/unix_command.h"

class SplitTest : public ::testing::Test {
protected:
    void SetUp() override { ResetAppState(); }
    void TearDown() override { ResetAppState(); }

    // Writes a patterned source of the given size and sets appState as the main
    // window does when a source is chosen: path, measured size, part count, and
    // the destination given (the destination folder when empty).
    std::vector<char> ChooseSource(const std::string& name, size_t size, DWORD splitSize,
                                   const std::string& destDir = "");
    // Sets sourcePath/destDir/fileSize/splitSize/partCount without writing a file.
    void SetRun(const std::string& sourcePath, ULONGLONG fileSize, DWORD splitSize,
                const std::string& destDir);

    // The name of part index of the source name.
    static std::string PartName(const std::string& name, unsigned index);
    // All parts of name in folder, in order, joined into one block.
    static std::vector<char> JoinParts(const std::string& folder, const std::string& name,
                                       unsigned count);

    ScratchDir sources_;
    ScratchDir dest_;
};

// Makes path a read-only file. False when the platform here lets such a file be
// opened for writing all the same (Wine run as root ignores the attribute).
bool MakeReadOnlyFile(const std::string& path);
