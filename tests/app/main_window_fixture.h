// The main window opened for real (template "VELK", MainDialogProc) as a modeless
// dialog over a clean settings key, with helpers that give it the messages a
// person's actions produce and read its controls back.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "tests/support/message_boxes.h"
#include "tests/support/velk_registry.h"

class MainWindowTest : public CleanVelkKey {
protected:
    void SetUp() override;
    void TearDown() override;

    // Settings to have in the registry before the window opens.
    void SetUseMru(bool on);
    void SetRecentDirs(const std::vector<std::string>& newestFirst);

    // Creates the window (WM_INITDIALOG runs inside).
    HWND Open();
    HWND Item(int id) const { return GetDlgItem(window_, id); }
    std::string Text(int id) const;
    int FocusId() const;  // control id of the focused window, or 0 when focus is elsewhere
    std::string SelectedSize() const;

    // Text into a box, the way typing leaves it.
    void SetText(int id, const std::string& text);
    // Moves the keyboard focus into a control, then away to another one.
    void Focus(int id) { SetFocus(Item(id)); }
    void TypeAndLeave(int box, const std::string& text, int next);
    void Click(int button);
    // Files dropped from Explorer: WM_DROPFILES with the HDROP Explorer builds.
    void Drop(const std::vector<std::string>& paths);
    void ChooseSize(int index);

    // Waits until the window's thread is idle (handles pending messages).
    void Settle();

    HWND window_ = nullptr;

private:
    // Answers (and reports) any box that shows while no answerer of the test is
    // active, so that a failing test never hangs on one.
    MessageBoxAnswerer strayBoxes_;
};

// A quit message posted by the window's WM_DESTROY, taken off the queue; true if found.
bool TakeQuitMessage();
