// The main window driven with real messages: the form's states, the split road with
// its summary and reset, the input checks, the size box and the recent-list preference.
#include <windows.h>

#include <commctrl.h>

#include <string>

#include "core/app_state.h"
#include "app/main_window.h"
#include "res/resource.h"
#include "tests/app/main_window_fixture.h"
#include "tests/app/ui_script.h"
#include "tests/support/message_boxes.h"
#include "tests/support/test_files.h"
#include "tests/support/velk_registry.h"

namespace {
constexpr int kFat32Index = 6;
constexpr int kCustomSizeIndex = 7;

std::string WithBackslash(const std::string& dir) { return dir + "\\"; }
}  // namespace

TEST_F(MainWindowTest, StartsEmptyWithTheTemplateTextsAndTheFocusInTheFileBox) {
    Open();
    EXPECT_EQ(WindowState::Normal, appState.windowState);
    EXPECT_EQ(kWindowTitle, WindowText(window_));
    EXPECT_EQ("1.44 MB (Floppy Disk)", SelectedSize());
    EXPECT_EQ("File Size : 0 KB", Text(IDC_FILE_SIZE_TEXT));
    EXPECT_EQ("Num of Split Parts : 0", Text(IDC_PART_COUNT_TEXT));
    EXPECT_EQ("Split Size : 1.38 MB", Text(IDC_SPLIT_SIZE_TEXT));
    EXPECT_EQ(IDC_SOURCE_BOX, FocusId());
    EXPECT_EQ(1457664u, appState.splitSize);

    const char* expected[] = {"256 KB", "512 KB", "1 MB", "1.44 MB (Floppy Disk)",
                              "2 MB",   "3 MB",   "4 GB (FAT32)", "Custom Size"};
    HWND sizeBox = Item(IDC_SIZE_BOX);
    ASSERT_EQ(8, SendMessageA(sizeBox, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < 8; ++i) {
        char text[64] = "";
        SendMessageA(sizeBox, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
        EXPECT_STREQ(expected[i], text) << "size box entry " << i;
    }
    EXPECT_EQ(LoadIconA(appInstance, MAKEINTRESOURCEA(IDI_VELK)),
              reinterpret_cast<HICON>(GetClassLongPtrA(window_, GCLP_HICON)));
}

TEST_F(MainWindowTest, LeavingTheFileBoxWithAnExistingFileShowsSizeAndPartsOnly) {
    ScratchDir dir;
    std::string source = dir / "data.zip";
    ASSERT_TRUE(WritePattern(source, 3000000));
    Open();
    TypeAndLeave(IDC_SOURCE_BOX, source, IDC_BROWSE_SOURCE);
    EXPECT_EQ(source, appState.sourcePath);
    EXPECT_EQ(3000000u, appState.fileSize);
    EXPECT_EQ(3u, appState.partCount);
    EXPECT_EQ("File Size : 2.86 MB", Text(IDC_FILE_SIZE_TEXT));
    EXPECT_EQ("Num of Split Parts : 3", Text(IDC_PART_COUNT_TEXT));
    EXPECT_EQ("Split Size : 1.39 MB", Text(IDC_SPLIT_SIZE_TEXT));
    // Neither the destination nor the focus follow a typed source.
    EXPECT_EQ("", Text(IDC_DEST_BOX));
    EXPECT_STREQ("", appState.destDir);
    EXPECT_EQ(IDC_BROWSE_SOURCE, FocusId());
}

TEST_F(MainWindowTest, LeavingTheFileBoxWithAMissingPathChangesNoText) {
    Open();
    TypeAndLeave(IDC_SOURCE_BOX, "C:\\velk-no-such-dir\\none.bin", IDC_BROWSE_SOURCE);
    EXPECT_STREQ("C:\\velk-no-such-dir\\none.bin", appState.sourcePath);
    EXPECT_EQ("File Size : 0 KB", Text(IDC_FILE_SIZE_TEXT));
    EXPECT_EQ("Num of Split Parts : 0", Text(IDC_PART_COUNT_TEXT));
}

TEST_F(MainWindowTest, OneSplitShowsTheSummaryRecordsTheDestinationAndResetsTheForm) {
    ScratchDir src, out;
    std::string source = src / "data.zip";
    std::vector<char> bytes = PatternBytes(3000000, 7);
    ASSERT_TRUE(WriteBytes(source, bytes));
    Open();
    TypeAndLeave(IDC_SOURCE_BOX, source, IDC_BROWSE_SOURCE);
    TypeAndLeave(IDC_DEST_BOX, out.path(), IDC_BROWSE_DEST);

    MessageBoxAnswerer boxes;
    boxes.Then(IDOK);
    Click(IDC_SPLIT);

    ASSERT_EQ(1u, boxes.Count()) << boxes.Describe();
    const SeenBox& summary = boxes.Last();
    EXPECT_EQ("File\t : data.zip Split Successfully\n#Parts\t : 3 part(s) \nTarget Dir\t : " +
                  WithBackslash(out.path()),
              summary.text);
    EXPECT_EQ(kWindowTitle, summary.caption);
    EXPECT_EQ(static_cast<UINT>(MB_OK), summary.style());
    EXPECT_EQ(window_, summary.owner);

    // The parts and the script are on disk.
    EXPECT_EQ(1457664, FileSize(out / "data.zip.001"));
    EXPECT_EQ(1457664, FileSize(out / "data.zip.002"));
    EXPECT_EQ(84672, FileSize(out / "data.zip.003"));
    EXPECT_TRUE(FileExists(out / "data.zip.bat"));
    std::vector<char> joined = ReadBytes(out / "data.zip.001");
    for (const char* part : {"data.zip.002", "data.zip.003"}) {
        std::vector<char> more = ReadBytes(out / part);
        joined.insert(joined.end(), more.begin(), more.end());
    }
    EXPECT_TRUE(joined == bytes) << "the parts do not join to the source";

    // The form is back in its start state; the destination stays.
    EXPECT_EQ("File Size : 0KB", Text(IDC_FILE_SIZE_TEXT));
    EXPECT_EQ("Split Size : 1.38MB", Text(IDC_SPLIT_SIZE_TEXT));
    EXPECT_EQ("Num of Split Parts : 0", Text(IDC_PART_COUNT_TEXT));
    EXPECT_EQ("", Text(IDC_SOURCE_BOX));
    EXPECT_EQ("1.44 MB (Floppy Disk)", SelectedSize());
    EXPECT_EQ(IDC_SOURCE_BOX, FocusId());
    EXPECT_STREQ("", appState.sourcePath);
    EXPECT_EQ(0u, appState.fileSize);
    EXPECT_EQ(0u, appState.partCount);
    EXPECT_EQ(1457664u, appState.splitSize);
    EXPECT_EQ(WithBackslash(out.path()), appState.destDir);
    EXPECT_EQ(out.path(), Text(IDC_DEST_BOX));
    EXPECT_TRUE(IsWindowEnabled(window_));
    EXPECT_FALSE(appState.runActive);

    // The destination is the most recent entry now; the open list does not show it yet.
    EXPECT_EQ(WithBackslash(out.path()), VelkRegistry::Read("MRUD1").Text());
    EXPECT_EQ(0, SendMessageA(Item(IDC_DEST_BOX), CB_GETCOUNT, 0, 0));
}

TEST_F(MainWindowTest, AFailedSplitShowsNoSummaryAndResetsNothing) {
    ScratchDir src, out;
    std::string source = src / "empty.bin";
    ASSERT_TRUE(WriteBytes(source, {}));
    Open();
    TypeAndLeave(IDC_SOURCE_BOX, source, IDC_BROWSE_SOURCE);
    TypeAndLeave(IDC_DEST_BOX, out.path(), IDC_BROWSE_DEST);
    ChooseSize(0);

    MessageBoxAnswerer boxes;
    boxes.Then(IDOK);
    Click(IDC_SPLIT);

    ASSERT_EQ(1u, boxes.Count()) << boxes.Describe();
    EXPECT_EQ("The File is empty: there is nothing to Split\n" + source, boxes.Last().text);
    EXPECT_EQ(source, appState.sourcePath);
    EXPECT_EQ(source, Text(IDC_SOURCE_BOX));
    EXPECT_EQ(262144u, appState.splitSize);
    EXPECT_EQ("256 KB", SelectedSize());
    EXPECT_EQ("Num of Split Parts : 1", Text(IDC_PART_COUNT_TEXT));
    EXPECT_EQ("", VelkRegistry::Read("MRUD1").Text());
    EXPECT_TRUE(IsWindowEnabled(window_));
    EXPECT_FALSE(appState.runActive);
}

TEST_F(MainWindowTest, AFailedRunShowsTheSizeAndCountItMeasured) {
    ScratchDir src, out;
    std::string source = src / "data.zip";
    ASSERT_TRUE(WritePattern(source, 3000000));
    Open();
    TypeAndLeave(IDC_SOURCE_BOX, source, IDC_BROWSE_SOURCE);
    TypeAndLeave(IDC_DEST_BOX, out.path(), IDC_BROWSE_DEST);
    ASSERT_EQ("Num of Split Parts : 3", Text(IDC_PART_COUNT_TEXT));
    // The file shrinks before Split, and its second part cannot be created.
    ASSERT_TRUE(WritePattern(source, 1500000));
    ASSERT_TRUE(CreateDirectoryA((out / "data.zip.002").c_str(), nullptr));

    MessageBoxAnswerer boxes;
    boxes.Then(IDOK);
    Click(IDC_SPLIT);
    ASSERT_EQ(1u, boxes.Count()) << boxes.Describe();
    EXPECT_EQ("Error Creating File\n" + out / "data.zip.002", boxes.Last().text);
    EXPECT_EQ("File Size : 1.43 MB", Text(IDC_FILE_SIZE_TEXT));
    EXPECT_EQ("Num of Split Parts : 2", Text(IDC_PART_COUNT_TEXT));
}

// Run under ja_JP.UTF-8 (code page 932): the second byte of 表 is 0x5C, no separator.
class JapaneseMainWindow : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        if (GetACP() != 932) GTEST_SKIP() << "the ANSI code page is " << GetACP() << ", not 932";
    }
};

TEST_F(JapaneseMainWindow, TheDestinationFollowsTheSourceUpToItsLastSeparator) {
    Open();
    MessageBoxAnswerer boxes;
    boxes.Then(IDOK);  // "Error Opening File": the source is not there
    CopyText(appState.sourcePath, "C:\\velk-none\\\x95\x5C.zip");  // 表.zip
    LoadSourceFile(window_);
    EXPECT_STREQ("C:\\velk-none\\", appState.destDir);
}

TEST_F(MainWindowTest, SplitChecksItsInputsInOrderWithFocusAndSelection) {
    ScratchDir src;
    std::string source = src / "data.bin";
    ASSERT_TRUE(WritePattern(source, 5000));
    Open();
    MessageBoxAnswerer boxes;
    auto expectLastBox = [&](const char* text) {
        ASSERT_FALSE(boxes.Seen().empty());
        const SeenBox& box = boxes.Last();
        EXPECT_EQ(text, box.text);
        EXPECT_EQ(kWindowTitle, box.caption);
        EXPECT_EQ(static_cast<UINT>(MB_OK | MB_ICONINFORMATION), box.style());
        EXPECT_EQ(window_, box.owner);
    };

    // 1. No source.
    boxes.Then(IDOK);
    Click(IDC_SPLIT);
    expectLastBox("Select a File to Split");
    EXPECT_EQ(IDC_SOURCE_BOX, FocusId());

    // 2. A source that does not exist: the file box's whole text is selected.
    std::string missing = src / "missing.bin";
    TypeAndLeave(IDC_SOURCE_BOX, missing, IDC_SPLIT);
    boxes.Then(IDOK);
    Click(IDC_SPLIT);
    expectLastBox("File does not Exist");
    EXPECT_EQ(IDC_SOURCE_BOX, FocusId());
    DWORD start = 0, end = 0;
    SendMessageA(Item(IDC_SOURCE_BOX), EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                 reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(0u, start);
    EXPECT_EQ(missing.size(), end);

    // 3. No destination.
    TypeAndLeave(IDC_SOURCE_BOX, source, IDC_SPLIT);
    boxes.Then(IDOK);
    Click(IDC_SPLIT);
    expectLastBox("Select a Destination Folder");
    EXPECT_EQ(IDC_DEST_BOX, FocusId());

    // 4. A destination that was a directory when the box was left, and is a file now.
    std::string gone = src / "gone";
    ASSERT_TRUE(CreateDirectoryA(gone.c_str(), nullptr));
    TypeAndLeave(IDC_DEST_BOX, gone, IDC_SPLIT);
    ASSERT_TRUE(RemoveDirectoryA(gone.c_str()));
    ASSERT_TRUE(WritePattern(gone, 10));
    boxes.Then(IDOK);
    Click(IDC_SPLIT);
    expectLastBox("Directory not Valid / Insert Disk & Retry");
    EXPECT_EQ(IDC_DEST_BOX, FocusId());
    LRESULT selection = SendMessageA(Item(IDC_DEST_BOX), CB_GETEDITSEL, 0, 0);
    EXPECT_EQ(0, LOWORD(selection));
    EXPECT_EQ(gone.size(), HIWORD(selection));
    EXPECT_EQ(4u, boxes.Count()) << boxes.Describe();
    // Nothing was written or reset by any of the refused runs.
    EXPECT_EQ(source, appState.sourcePath);
    EXPECT_EQ(5000u, appState.fileSize);
}

TEST_F(MainWindowTest, EnterAndEscapeDoNothingWhileCloseEndsTheLoop) {
    Open();
    SendMessageA(window_, WM_COMMAND, IDOK, 0);
    SendMessageA(window_, WM_COMMAND, IDCANCEL, 0);
    Settle();
    EXPECT_FALSE(TakeQuitMessage());
    EXPECT_TRUE(IsWindowVisible(window_));

    Click(IDC_CLOSE);
    EXPECT_TRUE(TakeQuitMessage()) << "Close did not post the quit message";

    // The close box (WM_CLOSE) takes the same way, never EndDialog.
    SendMessageA(window_, WM_CLOSE, 0, 0);
    Settle();
    EXPECT_TRUE(TakeQuitMessage()) << "WM_CLOSE did not post the quit message";
    EXPECT_TRUE(IsWindow(window_));
}

TEST_F(MainWindowTest, APresetWithoutASourceChangesOnlyTheSize) {
    Open();
    ChooseSize(5);
    EXPECT_EQ(3145728u, appState.splitSize);
    EXPECT_EQ("Split Size : 1.38 MB", Text(IDC_SPLIT_SIZE_TEXT));
    EXPECT_EQ("Num of Split Parts : 0", Text(IDC_PART_COUNT_TEXT));
    const DWORD sizes[] = {262144, 524288, 1048576, 1457664, 2097152, 3145728, 4294967295u};
    for (int i = 0; i < 7; ++i) {
        ChooseSize(i);
        EXPECT_EQ(sizes[i], appState.splitSize) << "preset " << i;
    }
}

TEST_F(MainWindowTest, APresetWithASourceRecountsTheParts) {
    ScratchDir dir;
    std::string source = dir / "data.zip";
    ASSERT_TRUE(WritePattern(source, 3000000));
    Open();
    TypeAndLeave(IDC_SOURCE_BOX, source, IDC_SIZE_BOX);
    ChooseSize(0);
    EXPECT_EQ("Num of Split Parts : 12", Text(IDC_PART_COUNT_TEXT));
    EXPECT_EQ("Split Size : 256.00 KB", Text(IDC_SPLIT_SIZE_TEXT));
    ChooseSize(5);
    EXPECT_EQ("Num of Split Parts : 1", Text(IDC_PART_COUNT_TEXT));
    EXPECT_EQ("Split Size : 3.00 MB", Text(IDC_SPLIT_SIZE_TEXT));
}

// The custom size dialog opened from the size box, answered by a script.
class CustomSizeFromMainWindow : public MainWindowTest {
protected:
    static HWND Dialog() { return FindThreadWindow("#32770", "Choose Custom File Split Size"); }

    // Picks "Custom Size", types the text (a size, or a number of parts) and presses
    // OK or the Cancel button.
    void PickCustomSize(const std::string& typed, int button, int box = IDC_CUSTOM_SIZE_BOX) {
        UiScript script;
        script.When("custom size dialog shown", [] { return Dialog() != nullptr; }, [=] {
            HWND dialog = Dialog();
            SetDlgItemTextA(dialog, box, typed.c_str());
            PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                         reinterpret_cast<LPARAM>(GetDlgItem(dialog, button)));
        });
        script.OnTimeout([] { EndDialog(Dialog(), 1); });
        ChooseSize(kCustomSizeIndex);
    }
};

// Sources of every size load, the size text in GB and the count in full; a number
// of equal parts follows each source loaded until another size is chosen.
TEST_F(CustomSizeFromMainWindow, EqualPartsFollowSourcesOfEverySizeUntilAnotherSizeIsChosen) {
    ScratchDir dir;
    const std::string nine = dir / "nine.bin", ones = dir / "ones.bin", huge = dir / "huge.bin";
    // 0x1FFFFFFFF bytes: the low part of the size reads as the platform's failure value.
    if (!MakeSizedFile(nine, 9ull << 30) || !MakeSizedFile(ones, 0x1FFFFFFFFull) ||
        !MakeSizedFile(huge, 17ull << 30) || FileSize(huge) != (17ll << 30))
        GTEST_SKIP() << "the file system here cannot hold a sparse file of 17 GiB";
    auto load = [&](const std::string& path) {
        CopyText(appState.sourcePath, path.c_str());
        LoadSourceFile(window_);
        return Text(IDC_FILE_SIZE_TEXT) + ", " + Text(IDC_PART_COUNT_TEXT);
    };
    Open();
    EXPECT_EQ("File Size : 9.00 GB, Num of Split Parts : 6630", load(nine));
    ChooseSize(kFat32Index);
    EXPECT_EQ("Num of Split Parts : 3", Text(IDC_PART_COUNT_TEXT));

    PickCustomSize("4", IDOK, IDC_CUSTOM_PARTS_BOX);
    EXPECT_EQ("Custom Size", SelectedSize());
    EXPECT_EQ("File Size : 8.00 GB, Num of Split Parts : 4", load(ones));
    // Four parts of 17 GiB would each pass 4 GB: said, and the choice ends.
    MessageBoxAnswerer boxes;
    boxes.Then(IDOK);
    EXPECT_EQ("File Size : 17.00 GB, Num of Split Parts : 9", load(huge));
    ASSERT_EQ(1u, boxes.Count()) << boxes.Describe();
    EXPECT_EQ(window_, boxes.Last().owner);
    EXPECT_NE(std::string::npos, boxes.Last().text.find("Choose at least 5 Parts.")) << boxes.Last().text;
    EXPECT_EQ("File Size : 9.00 GB, Num of Split Parts : 5", load(nine));

    // A preset ends the choice as well.
    PickCustomSize("3", IDOK, IDC_CUSTOM_PARTS_BOX);
    ChooseSize(5);
    EXPECT_EQ("File Size : 8.00 GB, Num of Split Parts : 2731", load(ones));
}

TEST_F(CustomSizeFromMainWindow, AnAcceptedSizeKeepsCustomSelectedAndRecounts) {
    ScratchDir dir;
    std::string source = dir / "data.zip";
    ASSERT_TRUE(WritePattern(source, 3000000));
    Open();
    TypeAndLeave(IDC_SOURCE_BOX, source, IDC_SIZE_BOX);
    PickCustomSize("1000000", IDOK);
    EXPECT_EQ(1000000u, appState.splitSize);
    EXPECT_EQ("Custom Size", SelectedSize());
    EXPECT_EQ("Num of Split Parts : 3", Text(IDC_PART_COUNT_TEXT));
    EXPECT_EQ("Split Size : 976.57 KB", Text(IDC_SPLIT_SIZE_TEXT));

    // A size equal to a preset is still a custom size.
    PickCustomSize("262144", IDOK);
    EXPECT_EQ(262144u, appState.splitSize);
    EXPECT_EQ("Custom Size", SelectedSize());
}

TEST_F(CustomSizeFromMainWindow, CancellingReturnsToThePresetOfTheSize) {
    Open();
    ChooseSize(1);
    PickCustomSize("77", IDC_CUSTOM_CANCEL);
    EXPECT_EQ(524288u, appState.splitSize);
    EXPECT_EQ("512 KB", SelectedSize());

    // After a custom size that matches no preset, "Custom Size" stays selected.
    PickCustomSize("1000", IDOK);
    PickCustomSize("5", IDC_CUSTOM_CANCEL);
    EXPECT_EQ(1000u, appState.splitSize);
    EXPECT_EQ("Custom Size", SelectedSize());
}

TEST_F(CustomSizeFromMainWindow, TheLargestSizeIsAcceptedAndOneMoreIsRefusedAsZero) {
    Open();
    PickCustomSize("4294967295", IDOK);
    EXPECT_EQ(4294967295u, appState.splitSize);
    EXPECT_EQ("Custom Size", SelectedSize());

    ChooseSize(3);
    MessageBoxAnswerer boxes;
    boxes.Then(IDCANCEL);
    PickCustomSize("4294967296", IDOK);
    ASSERT_EQ(1u, boxes.Count()) << boxes.Describe();
    EXPECT_EQ("Split Size Cannot be 0 Bytes", boxes.Last().text);
    EXPECT_EQ(1457664u, appState.splitSize);
    EXPECT_EQ("1.44 MB (Floppy Disk)", SelectedSize());
}

TEST_F(MainWindowTest, RecentListPreferenceOnStartsOnTheNewestDirectory) {
    ScratchDir src, newest, older;
    std::string source = src / "data.zip";
    ASSERT_TRUE(WritePattern(source, 1000));
    SetRecentDirs({newest.path(), older.path()});
    SetUseMru(true);
    Open();
    HWND destBox = Item(IDC_DEST_BOX);
    ASSERT_EQ(2, SendMessageA(destBox, CB_GETCOUNT, 0, 0));
    char text[MAX_PATH] = "";
    SendMessageA(destBox, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(text));
    EXPECT_EQ(newest.path(), text);
    SendMessageA(destBox, CB_GETLBTEXT, 1, reinterpret_cast<LPARAM>(text));
    EXPECT_EQ(older.path(), text);
    EXPECT_EQ(newest.path(), Text(IDC_DEST_BOX));
    EXPECT_EQ(newest.path(), appState.destDir);

    // Loading a source leaves the destination alone.
    CopyText(appState.sourcePath, source.c_str());
    LoadSourceFile(window_);
    EXPECT_EQ(newest.path(), appState.destDir);
    EXPECT_EQ(newest.path(), Text(IDC_DEST_BOX));
    EXPECT_EQ(IDC_SPLIT, FocusId());
}

TEST_F(MainWindowTest, RecentListPreferenceOnWithAnEmptyListLeavesTheDestinationEmpty) {
    SetUseMru(true);
    Open();
    EXPECT_EQ(0, SendMessageA(Item(IDC_DEST_BOX), CB_GETCOUNT, 0, 0));
    EXPECT_STREQ("", appState.destDir);
    EXPECT_EQ("", Text(IDC_DEST_BOX));
}

TEST_F(MainWindowTest, RecentListPreferenceOffListsTheDirectoriesButFollowsTheSource) {
    ScratchDir src, recent;
    std::string source = src / "data.zip";
    ASSERT_TRUE(WritePattern(source, 999));
    SetRecentDirs({recent.path()});
    SetUseMru(false);
    Open();
    EXPECT_EQ(1, SendMessageA(Item(IDC_DEST_BOX), CB_GETCOUNT, 0, 0));
    EXPECT_EQ("", Text(IDC_DEST_BOX));
    EXPECT_STREQ("", appState.destDir);

    CopyText(appState.sourcePath, source.c_str());
    LoadSourceFile(window_);
    EXPECT_EQ(WithBackslash(src.path()), appState.destDir);
    EXPECT_EQ(WithBackslash(src.path()), Text(IDC_DEST_BOX));
    EXPECT_EQ("File Size : 999 Bytes", Text(IDC_FILE_SIZE_TEXT));
    EXPECT_EQ("Num of Split Parts : 1", Text(IDC_PART_COUNT_TEXT));
    EXPECT_EQ(IDC_SPLIT, FocusId());
}

TEST_F(MainWindowTest, TheDestinationFollowsTheSourcesLeadingPart) {
    Open();
    struct Case {
        const char* source;
        const char* dest;
    };
    // Names that do not exist: "Error Opening File" each time, and still the default.
    const Case cases[] = {
        {"C:\\velk-none\\sub\\data.zip", "C:\\velk-none\\sub\\"},
        {"C:/velk-none/data.zip", "C:/velk-none/"},
        {"C:\\velk-none/sub\\x", "C:\\velk-none/sub\\"},
        {"C:data.zip", "C:"},
        {"data.zip", ""},
    };
    for (const Case& c : cases) {
        MessageBoxAnswerer boxes;
        boxes.Then(IDOK);
        CopyText(appState.destDir, "C:\\before\\");
        CopyText(appState.sourcePath, c.source);
        LoadSourceFile(window_);
        ASSERT_EQ(1u, boxes.Count()) << boxes.Describe();
        EXPECT_EQ("Error Opening File", boxes.Last().text);
        EXPECT_EQ(static_cast<UINT>(MB_OK), boxes.Last().style());
        EXPECT_STREQ(c.dest, appState.destDir) << "source " << c.source;
        EXPECT_EQ(c.dest, Text(IDC_DEST_BOX)) << "source " << c.source;
        EXPECT_EQ(c.source, Text(IDC_SOURCE_BOX));
    }
}

TEST_F(MainWindowTest, ASourceThatCannotBeOpenedKeepsTheOldSizeAndStillCountsParts) {
    ScratchDir dir;
    std::string source = dir / "data.zip";
    ASSERT_TRUE(WritePattern(source, 3000000));
    Open();
    CopyText(appState.sourcePath, source.c_str());
    LoadSourceFile(window_);
    ASSERT_EQ("File Size : 2.86 MB", Text(IDC_FILE_SIZE_TEXT));

    MessageBoxAnswerer boxes;
    boxes.Then(IDOK);
    ChooseSize(0);
    CopyText(appState.sourcePath, (dir / "gone.zip").c_str());
    LoadSourceFile(window_);
    ASSERT_EQ(1u, boxes.Count()) << boxes.Describe();
    EXPECT_EQ("Error Opening File", boxes.Last().text);
    EXPECT_EQ(3000000u, appState.fileSize);
    EXPECT_EQ("File Size : 2.86 MB", Text(IDC_FILE_SIZE_TEXT));
    EXPECT_EQ("Num of Split Parts : 12", Text(IDC_PART_COUNT_TEXT));
    EXPECT_EQ(IDC_SPLIT, FocusId());
}

TEST_F(MainWindowTest, AboutAndCustomizeOpenTheirWindowsOwnedByTheMainWindow) {
    Open();
    HWND sheetOwner = nullptr;
    std::string aboutCaption;
    {
        UiScript script;
        script.When("About box shown", [&] { return FindOwnedWindow(window_) != nullptr; }, [&] {
            HWND about = FindOwnedWindow(window_);
            aboutCaption = WindowText(about);
            PostMessageA(about, WM_COMMAND, IDOK, 0);
        });
        script.OnTimeout([&] { PostMessageA(FindOwnedWindow(window_), WM_CLOSE, 0, 0); });
        Click(IDC_ABOUT);
    }
    EXPECT_EQ(kWindowTitle, aboutCaption);
    {
        UiScript script;
        script.When("preferences sheet shown",
                    [] { return FindThreadWindow("#32770", "VELK Preferences") != nullptr; }, [&] {
                        HWND sheet = FindThreadWindow("#32770", "VELK Preferences");
                        sheetOwner = GetWindow(sheet, GW_OWNER);
                        PostMessageA(sheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
                    });
        script.OnTimeout([] { DestroyWindow(FindThreadWindow("#32770", "VELK Preferences")); });
        Click(IDC_CUSTOMIZE);
    }
    EXPECT_EQ(window_, sheetOwner);
}

TEST_F(MainWindowTest, HelpFromAFolderWithoutAHelpFileShowsNoMessageOfItsOwn) {
    ScratchDir empty;
    char previous[MAX_PATH] = "";
    GetCurrentDirectoryA(sizeof previous, previous);
    SetCurrentDirectoryA(empty.path().c_str());
    Open();
    MessageBoxAnswerer boxes;
    Click(IDC_HELPBUTTON);
    SetCurrentDirectoryA(previous);
    EXPECT_EQ(0u, boxes.Count()) << boxes.Describe();
    EXPECT_TRUE(IsWindowEnabled(window_));
    DestroyWindow(FindThreadWindow("HH Parent", nullptr));  // the one beside the program opened
}
