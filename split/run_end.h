// How a split run, or the writing of its merge script and checksum list, stopped
// short, and the one box that tells the user: "Cancelling File Split" only when the
// user cancelled (Cancel, or a disk prompt); otherwise what failed, and where.
#pragma once
#include <windows.h>

// A run begins: no stop is recorded.
void BeginRunEnd();

// Each records how the run stopped and returns false. The first stop recorded
// stands: what fails after the session's end or a cancel is only its consequence.
bool StopAsCancelled();
bool StopAsSessionEnds();  // log-off or shutdown: nothing is shown
bool StopAsTold();         // a box of its own said it already (a full fixed disk)
// `what` on the first line; on the second the path, from its pieces.
bool StopAsFailed(const char* what, const char* dir, const char* name = "",
                  const char* ending = "");

// Room for `bytes` at the destination (CheckFreeSpace, which may prompt for another
// disk); otherwise records why not.
bool RoomAtDestination(DWORD bytes);

// Shows the box for the stop recorded; a stop not recorded is said as a failure.
void ShowRunEnd();
