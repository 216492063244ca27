#include "split/run_end.h"

#include "core/app_state.h"
#include "split/free_space.h"

namespace {
enum class Stop { None, Cancelled, SessionEnds, Told, Failed };

Stop stop = Stop::None;
// What failed and its path: the path's pieces may each fill a path buffer.
char failure[4 * kPathSize];

bool Record(Stop how) {
    if (stop == Stop::None) stop = how;
    return false;
}
}  // namespace

void BeginRunEnd() { stop = Stop::None; }

bool StopAsCancelled() { return Record(Stop::Cancelled); }
bool StopAsSessionEnds() { return Record(Stop::SessionEnds); }
bool StopAsTold() { return Record(Stop::Told); }

bool StopAsFailed(const char* what, const char* dir, const char* name, const char* ending) {
    if (stop == Stop::None) FormatText(failure, sizeof failure, "%s\n%s%s%s", what, dir, name, ending);
    return Record(Stop::Failed);
}

bool RoomAtDestination(DWORD bytes) {
    switch (CheckFreeSpace(bytes)) {
    case kEngineOk:
        return true;
    case kDiskFullTold:
        return StopAsTold();
    case kFreeSpaceUnknown:
        return StopAsFailed("Cannot find the Free Space of the Destination Folder",
                            appState.destDir);
    default:
        return StopAsCancelled();
    }
}

void ShowRunEnd() {
    switch (stop) {
    case Stop::Cancelled:
        MessageBoxA(nullptr, "Cancelling File Split", kWindowTitle, MB_OK | MB_ICONWARNING);
        break;
    case Stop::Failed:
        MessageBoxA(nullptr, failure, kWindowTitle, MB_OK | MB_ICONERROR);
        break;
    case Stop::None:
        MessageBoxA(nullptr, "The File could not be Split", kWindowTitle, MB_OK | MB_ICONERROR);
        break;
    case Stop::SessionEnds:
    case Stop::Told:
        break;
    }
}
