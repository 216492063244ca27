// Files dropped on the main window from Explorer: the first one loads as Browse
// loads it; anything that is not an existing file is refused as Split refuses a
// missing source.
#include <windows.h>

#include <string>

#include "core/app_state.h"
#include "res/resource.h"
#include "tests/app/main_window_fixture.h"
#include "tests/support/message_boxes.h"
#include "tests/support/test_files.h"

TEST_F(MainWindowTest, ADroppedFileLoadsTheFirstAsBrowseDoesAndAFolderIsRefused) {
    ScratchDir folder;
    std::string file = folder / "data file.zip";
    ASSERT_TRUE(WritePattern(file, 3000000));
    Open();
    ASSERT_TRUE(GetWindowLongA(window_, GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
    Drop({file, folder.path()});
    EXPECT_EQ(file, Text(IDC_SOURCE_BOX));
    EXPECT_EQ("Num of Split Parts : 3", Text(IDC_PART_COUNT_TEXT));
    EXPECT_EQ(folder.path() + "\\", Text(IDC_DEST_BOX));
    EXPECT_EQ(IDC_SPLIT, FocusId());

    MessageBoxAnswerer boxes;
    boxes.Then(IDOK).Then(IDOK);
    Drop({folder.path(), file});
    Drop({folder / "gone.zip"});
    ASSERT_EQ(2u, boxes.Count()) << boxes.Describe();
    for (const SeenBox& box : boxes.Seen()) {
        EXPECT_EQ("File does not Exist", box.text);
        EXPECT_EQ(static_cast<UINT>(MB_OK | MB_ICONINFORMATION), box.style());
        EXPECT_EQ(window_, box.owner);
    }
    EXPECT_STREQ(file.c_str(), appState.sourcePath);
}
