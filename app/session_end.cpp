#include "app/session_end.h"

#include <shlwapi.h>

#include "core/app_state.h"
#include "join/join_run.h"
#include "recovery/join_repair.h"
#include "recovery/recovery_repair.h"
#include "recovery/recovery_writer.h"
#include "split/split_run.h"

namespace {
using BlockReasonCreate = BOOL(WINAPI*)(HWND, LPCWSTR);
using BlockReasonDestroy = BOOL(WINAPI*)(HWND);

HWND heldWindow = nullptr;  // the main window while a run is under way
bool reasonShown = false;

// Windows before Vista lack the calls that name the reason; asked for by name so
// the program still loads there.
FARPROC User32Call(const char* name) {
    return GetProcAddress(GetModuleHandleA("user32.dll"), name);
}
}  // namespace

void HoldSessionEnd(HWND window, const char* doing) {
    heldWindow = window;
    auto create = reinterpret_cast<BlockReasonCreate>(
        reinterpret_cast<void*>(User32Call("ShutdownBlockReasonCreate")));
    char reason[kPathSize + 16];
    wchar_t wide[kPathSize + 16];
    reasonShown = window != nullptr && create != nullptr &&
                  FormatText(reason, sizeof reason, "%s %s", doing,
                             PathFindFileNameA(appState.sourcePath)) &&
                  MultiByteToWideChar(CP_ACP, 0, reason, -1, wide, kPathSize + 16) != 0 &&
                  create(window, wide);
}

void ReleaseSessionEnd() {
    auto destroy = reinterpret_cast<BlockReasonDestroy>(
        reinterpret_cast<void*>(User32Call("ShutdownBlockReasonDestroy")));
    if (reasonShown && destroy != nullptr) destroy(heldWindow);
    reasonShown = false;
    heldWindow = nullptr;
}

INT_PTR OnQueryEndSession(HWND window) {
    if (heldWindow == nullptr) return FALSE;  // idle: the dialog manager agrees
    SetWindowLongPtrA(window, DWLP_MSGRESULT, FALSE);
    return TRUE;
}

INT_PTR OnEndSession(WPARAM ending) {
    if (ending && heldWindow != nullptr) {
        // The repair first: it holds the joined file and the set's files open.
        EndRepairAsSessionEnds();
        EndRunAsSessionEnds();
        EndJoinAsSessionEnds();
        EndRecoveryAsSessionEnds();
        EndJoinRepairAsSessionEnds();
    }
    return FALSE;
}
