#pragma once
#include <windows.h>

class MappedFile;

// The reader of the source during a run, and the writer of the part (or of the
// merge script) being written.
extern MappedFile* sourceReader;
extern MappedFile* partWriter;

// partCount from fileSize and splitSize.
void ComputePartCount();

// Cuts appState.sourcePath into numbered parts in appState.destDir. False after
// "Cancelling File Split" was shown.
bool SplitFile();
