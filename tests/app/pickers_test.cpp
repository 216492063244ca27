// The source and folder pickers, answered by a script, alone and from the main
// window's Browse buttons.
#include <windows.h>

#include <commctrl.h>

#include <string>

#include "core/app_state.h"
#include "app/pickers.h"
#include "res/resource.h"
#include "tests/app/main_window_fixture.h"
#include "tests/app/ui_script.h"
#include "tests/support/message_boxes.h"
#include "tests/support/test_files.h"

namespace {
constexpr int kFileNameCombo = 0x47C;  // cmb13, the explorer-style file name box
constexpr int kFileNameEdit = 0x480;   // edt1, the older file name box
constexpr int kFilterCombo = 0x470;    // cmb1, the file types

HWND SourcePicker() { return FindThreadWindow("#32770", "Select a File to be split"); }

BOOL CALLBACK ShowsFolderPickerTitle(HWND window, LPARAM found) {
    if (!IsWindowVisible(window)) return TRUE;
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (WindowText(child) == "Choose Split File Destination Directory") {
            *reinterpret_cast<HWND*>(found) = window;
            return FALSE;
        }
    }
    return TRUE;
}

// The folder browser: the dialog of this thread that shows the picker's title text.
HWND FolderPicker() {
    HWND found = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), ShowsFolderPickerTitle,
                      reinterpret_cast<LPARAM>(&found));
    return found;
}

// A folder right under C:\ for the folder browser: it opens on a deep folder
// (the temporary one) only now and then, its tree being filled as it goes.
class ShallowDir {
public:
    ShallowDir() {
        static int count = 0;
        path_ = "C:\\velk-picker-" + std::to_string(GetCurrentProcessId()) + "-" +
                std::to_string(++count);
        CreateDirectoryA(path_.c_str(), nullptr);
    }
    ~ShallowDir() { RemoveTree(path_); }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// The folder browser once it has selected the folder of that path: its tree fills
// and moves to the preselection a moment after it is shown.
HWND FolderPickerOn(const std::string& path) {
    HWND picker = FolderPicker();
    if (picker == nullptr) return nullptr;
    HWND tree = FindWindowExA(picker, nullptr, WC_TREEVIEWA, nullptr);
    HTREEITEM item = tree ? TreeView_GetSelection(tree) : nullptr;
    if (item == nullptr) return nullptr;
    char text[MAX_PATH] = "";
    TVITEMA data = {};
    data.mask = TVIF_TEXT;
    data.hItem = item;
    data.pszText = text;
    data.cchTextMax = sizeof text;
    SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&data));
    std::string name = path.substr(path.find_last_of('\\') + 1);
    return lstrcmpiA(text, name.c_str()) == 0 ? picker : nullptr;
}

void Press(HWND dialog, int id) {
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

// Types a name into the open-file dialog and presses Open.
void ChooseFile(const std::string& path) {
    HWND dialog = SourcePicker();
    HWND box = GetDlgItem(dialog, kFileNameCombo);
    if (box == nullptr) box = GetDlgItem(dialog, kFileNameEdit);
    SetWindowTextA(box, path.c_str());
    Press(dialog, IDOK);
}

std::vector<std::string> Filters(HWND dialog) {
    std::vector<std::string> filters;
    HWND combo = GetDlgItem(dialog, kFilterCombo);
    LRESULT count = SendMessageA(combo, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        char text[128] = "";
        SendMessageA(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
        filters.push_back(text);
    }
    return filters;
}

class Pickers : public ::testing::Test {
protected:
    void SetUp() override { ResetAppState(); }
    void TearDown() override { ResetAppState(); }
};
}  // namespace

TEST_F(Pickers, TheSourcePickerReturnsTheFullPathOfTheChosenFile) {
    ScratchDir dir;
    std::string file = dir / "data.zip";
    ASSERT_TRUE(WritePattern(file, 10));
    std::vector<std::string> filters;
    UiScript script;
    script.When("open-file dialog shown", [] { return SourcePicker() != nullptr; }, [&] {
        filters = Filters(SourcePicker());
        ChooseFile(file);
    });
    script.OnTimeout([] { Press(SourcePicker(), IDCANCEL); });
    char path[kPathSize] = "stale";
    EXPECT_TRUE(PickSourceFile(nullptr, path));
    EXPECT_EQ(file, path);
    EXPECT_EQ((std::vector<std::string>{"All Files (*.*)", "First Parts of Sets (*.001)"}), filters);
}

TEST_F(Pickers, CancellingTheSourcePickerEmptiesTheBuffer) {
    UiScript script;
    script.When("open-file dialog shown", [] { return SourcePicker() != nullptr; },
                [] { Press(SourcePicker(), IDCANCEL); });
    char path[kPathSize] = "C:\\previous\\data.zip";
    EXPECT_FALSE(PickSourceFile(nullptr, path));
    EXPECT_STREQ("", path);
}

TEST_F(Pickers, TheFolderPickerOpensOnTheDestinationAndReturnsTheChoice) {
    ShallowDir dir;
    CopyText(appState.destDir, dir.path().c_str());
    UiScript script;
    script.When("folder browser on the destination",
                [&] { return FolderPickerOn(dir.path()) != nullptr; },
                [] { Press(FolderPicker(), IDOK); });
    script.OnTimeout([] { Press(FolderPicker(), IDCANCEL); });
    char path[kPathSize] = "";
    ASSERT_TRUE(PickDestinationFolder(nullptr, path));
    // The browser preselected destDir, so OK at once returns it.
    EXPECT_EQ(0, lstrcmpiA(dir.path().c_str(), path)) << path;
}

TEST_F(Pickers, CancellingTheFolderPickerLeavesTheBufferAlone) {
    UiScript script;
    script.When("folder browser shown", [] { return FolderPicker() != nullptr; },
                [] { Press(FolderPicker(), IDCANCEL); });
    char path[kPathSize] = "C:\\kept";
    EXPECT_FALSE(PickDestinationFolder(nullptr, path));
    EXPECT_STREQ("C:\\kept", path);
}

TEST_F(MainWindowTest, BrowsingForASourceLoadsItDefaultsTheDestinationAndFocusesSplit) {
    ScratchDir dir;
    std::string file = dir / "data.zip";
    ASSERT_TRUE(WritePattern(file, 3000000));
    Open();
    {
        UiScript script;
        script.When("open-file dialog shown", [] { return SourcePicker() != nullptr; },
                    [&] { ChooseFile(file); });
        script.OnTimeout([] { Press(SourcePicker(), IDCANCEL); });
        Click(IDC_BROWSE_SOURCE);
    }
    EXPECT_EQ(file, Text(IDC_SOURCE_BOX));
    EXPECT_EQ("File Size : 2.86 MB", Text(IDC_FILE_SIZE_TEXT));
    EXPECT_EQ("Num of Split Parts : 3", Text(IDC_PART_COUNT_TEXT));
    EXPECT_EQ(dir.path() + "\\", Text(IDC_DEST_BOX));
    EXPECT_EQ(dir.path() + "\\", appState.destDir);
    EXPECT_EQ(IDC_SPLIT, FocusId());

    // The destination Browse shows the folder chosen, with no further check.
    ShallowDir other;
    CopyText(appState.destDir, other.path().c_str());
    {
        UiScript script;
        script.When("folder browser on the destination",
                    [&] { return FolderPickerOn(other.path()) != nullptr; },
                    [] { Press(FolderPicker(), IDOK); });
        script.OnTimeout([] { Press(FolderPicker(), IDCANCEL); });
        Click(IDC_BROWSE_DEST);
    }
    EXPECT_EQ(0, lstrcmpiA(other.path().c_str(), Text(IDC_DEST_BOX).c_str()))
        << Text(IDC_DEST_BOX);
}

TEST_F(MainWindowTest, ACancelledSourcePickerForgetsTheSourceButNotTheBoxText) {
    ScratchDir dir;
    std::string file = dir / "data.zip";
    ASSERT_TRUE(WritePattern(file, 1000));
    Open();
    TypeAndLeave(IDC_SOURCE_BOX, file, IDC_BROWSE_SOURCE);
    {
        UiScript script;
        script.When("open-file dialog shown", [] { return SourcePicker() != nullptr; },
                    [] { Press(SourcePicker(), IDCANCEL); });
        Click(IDC_BROWSE_SOURCE);
    }
    EXPECT_STREQ("", appState.sourcePath);
    EXPECT_EQ(file, Text(IDC_SOURCE_BOX));
    MessageBoxAnswerer boxes;
    boxes.Then(IDOK);
    Click(IDC_SPLIT);
    ASSERT_EQ(1u, boxes.Count());
    EXPECT_EQ("Select a File to Split", boxes.Last().text);
}
