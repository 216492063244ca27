// The main window's guards: a run is not disturbed while its prompts are up, the
// destination check never nests inside a box of the window, and a source of 4 GiB
// or more is refused instead of being cut as its low 32 bits.
#include <windows.h>

#include <atomic>
#include <string>
#include <thread>

#include "core/app_state.h"
#include "app/main_window.h"
#include "res/resource.h"
#include "tests/app/main_window_fixture.h"
#include "tests/app/ui_script.h"
#include "tests/support/message_boxes.h"
#include "tests/support/test_drives.h"
#include "tests/support/test_files.h"

namespace {
std::string InsertDiskPrompt(unsigned long bytes) {
    return "Insert another Disk which has atleast " + std::to_string(bytes) +
           " bytes free \n                            and retry";
}

// Counts the message boxes of this thread that exist at one time: a box opened
// while another is still up shows as two.
class BoxNestingWatch {
public:
    BoxNestingWatch() {
        watch_ = this;
        hook_ = SetWindowsHookExA(WH_CBT, Hook, nullptr, GetCurrentThreadId());
    }
    ~BoxNestingWatch() {
        UnhookWindowsHookEx(hook_);
        watch_ = nullptr;
    }
    int MostAtOnce() const { return most_; }

private:
    static bool IsDialogClass(HWND window) {
        char cls[16] = "";
        GetClassNameA(window, cls, sizeof cls);
        return lstrcmpA(cls, "#32770") == 0;
    }
    static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam) {
        HWND window = reinterpret_cast<HWND>(wParam);
        if (watch_ != nullptr && IsDialogClass(window)) {
            // The main window is a dialog too, but it was made before the watch began.
            if (code == HCBT_CREATEWND) {
                watch_->live_++;
                if (watch_->live_ > watch_->most_) watch_->most_ = watch_->live_;
            } else if (code == HCBT_DESTROYWND && watch_->live_ > 0) {
                watch_->live_--;
            }
        }
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }
    static BoxNestingWatch* watch_;
    HHOOK hook_;
    int live_ = 0;
    int most_ = 0;
};
BoxNestingWatch* BoxNestingWatch::watch_ = nullptr;
}  // namespace

TEST_F(MainWindowTest, NothingChangesTheRunWhileItsInsertDiskPromptIsUpAndAHandOffWaitsForItsEnd) {
    SKIP_WITHOUT_FLOPPY();
    FloppyDrive floppy;
    ScratchDir src;
    std::string source = src / "data.zip";
    std::string other = src / "other.bin";
    std::vector<char> bytes = PatternBytes(2000000, 3);
    ASSERT_TRUE(WriteBytes(source, bytes));
    ASSERT_TRUE(WritePattern(other, 100));
    Open();
    TypeAndLeave(IDC_SOURCE_BOX, source, IDC_BROWSE_SOURCE);
    TypeAndLeave(IDC_DEST_BOX, FloppyDrive::kRoot, IDC_BROWSE_DEST);
    ASSERT_EQ(2u, appState.partCount);

    bool disabledDuringRun = false;
    std::string sourceDuringRun, boxDuringRun, sizeDuringRun;
    DWORD splitSizeDuringRun = 0, fileSizeDuringRun = 0, partsDuringRun = 0;
    MessageBoxAnswerer boxes;
    boxes.ThenRun(
        [&](const SeenBox&) {
            disabledDuringRun = !IsWindowEnabled(window_);
            // A second Split, a size change and a new source, as they would arrive.
            SendMessageA(Item(IDC_SPLIT), BM_CLICK, 0, 0);
            SendMessageA(Item(IDC_SIZE_BOX), CB_SETCURSEL, 0, 0);
            SendMessageA(window_, WM_COMMAND, MAKEWPARAM(IDC_SIZE_BOX, CBN_SELCHANGE),
                         reinterpret_cast<LPARAM>(Item(IDC_SIZE_BOX)));
            SetText(IDC_SOURCE_BOX, other);
            SendMessageA(window_, WM_COMMAND, MAKEWPARAM(IDC_SOURCE_BOX, EN_KILLFOCUS),
                         reinterpret_cast<LPARAM>(Item(IDC_SOURCE_BOX)));
            COPYDATASTRUCT handOff{kHandOffTag, static_cast<DWORD>(other.size() + 1),
                                   const_cast<char*>(other.c_str())};
            SendMessageA(window_, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&handOff));
            Drop({other});
            SendMessageA(Item(IDC_CLOSE), BM_CLICK, 0, 0);
            sourceDuringRun = appState.sourcePath;
            splitSizeDuringRun = appState.splitSize;
            fileSizeDuringRun = appState.fileSize;
            partsDuringRun = appState.partCount;
            sizeDuringRun = SelectedSize();
            boxDuringRun = Text(IDC_DEST_BOX);
            floppy.InsertEmptyDisk();
        },
        IDRETRY);
    boxes.Then(IDOK);
    Click(IDC_SPLIT);

    ASSERT_EQ(2u, boxes.Count()) << boxes.Describe();
    EXPECT_EQ(InsertDiskPrompt(542336), boxes.Seen()[0].text);
    EXPECT_EQ(0u, boxes.Seen()[1].text.find("File\t : data.zip Split Successfully\n#Parts\t : 2"))
        << boxes.Seen()[1].text;
    EXPECT_TRUE(disabledDuringRun) << "the window took input during the run";
    EXPECT_EQ(source, sourceDuringRun);
    EXPECT_EQ(1457664u, splitSizeDuringRun);
    EXPECT_EQ(2000000u, fileSizeDuringRun);
    EXPECT_EQ(2u, partsDuringRun);
    EXPECT_EQ("1.44 MB (Floppy Disk)", sizeDuringRun);
    EXPECT_FALSE(TakeQuitMessage()) << "Close was not held off during the run";

    // The run went on undisturbed: part 1 on the first disk, part 2 and the script
    // on the second, joining to the source.
    EXPECT_TRUE(IsWindowEnabled(window_));
    EXPECT_FALSE(appState.runActive);
    floppy.GatherAll();
    EXPECT_EQ(1457664, FileSize(floppy.Pile() + "\\data.zip.001"));
    EXPECT_EQ(542336, FileSize(floppy.Pile() + "\\data.zip.002"));
    EXPECT_TRUE(FileExists(floppy.Pile() + "\\data.zip.bat"));
    std::vector<char> joined = ReadBytes(floppy.Pile() + "\\data.zip.001");
    std::vector<char> second = ReadBytes(floppy.Pile() + "\\data.zip.002");
    joined.insert(joined.end(), second.begin(), second.end());
    EXPECT_TRUE(joined == bytes);
    // The file handed off meanwhile is taken once the run has ended.
    EXPECT_EQ(other, Text(IDC_SOURCE_BOX));
    EXPECT_EQ("File Size : 100 Bytes", Text(IDC_FILE_SIZE_TEXT));
}

TEST_F(MainWindowTest, ARejectedDestinationThenSplitShowsBoxesOneAtATime) {
    ScratchDir src;
    std::string source = src / "data.bin";
    ASSERT_TRUE(WritePattern(source, 5000));
    Open();
    TypeAndLeave(IDC_SOURCE_BOX, source, IDC_DEST_BOX);

    BoxNestingWatch nesting;
    MessageBoxAnswerer boxes;
    boxes.Then(IDOK).Then(IDOK).Then(IDOK);
    // Leaving the box with a text that names no directory: rejected, focus back.
    TypeAndLeave(IDC_DEST_BOX, "ab", IDC_BROWSE_DEST);
    ASSERT_EQ(1u, boxes.Count()) << boxes.Describe();
    EXPECT_EQ("Directory Name is invalid Please Correct", boxes.Last().text);
    ASSERT_EQ(IDC_DEST_BOX, FocusId());

    // Split: leaving the box for the button checks it once more; then the input
    // check refuses, and its own box taking the focus starts no further check.
    Click(IDC_SPLIT);
    ASSERT_EQ(3u, boxes.Count()) << boxes.Describe();
    EXPECT_EQ("Directory Name is invalid Please Correct", boxes.Seen()[1].text);
    EXPECT_EQ("Directory not Valid / Insert Disk & Retry", boxes.Seen()[2].text);
    EXPECT_EQ(0, boxes.Unexpected()) << boxes.Describe();
    EXPECT_EQ(1, nesting.MostAtOnce()) << "a box was opened inside another";
    EXPECT_EQ(IDC_DEST_BOX, FocusId());
    EXPECT_STREQ("ab", appState.destDir);
}

TEST_F(MainWindowTest, LeavingTheDestinationForAnotherApplicationStillChecksIt) {
    Open();
    Focus(IDC_DEST_BOX);
    SetText(IDC_DEST_BOX, "ab");
    Settle();

    // Another program's window takes the activation (a window of another thread
    // stands in for it: the focus leaves this thread's queue the same way).
    std::atomic<bool> done{false};
    MessageBoxAnswerer boxes;
    boxes.Then(IDOK);
    std::thread other([&] {
        HWND window = CreateWindowExA(0, "STATIC", "another program", WS_POPUP | WS_VISIBLE, 0,
                                      0, 100, 100, nullptr, nullptr, nullptr, nullptr);
        SetForegroundWindow(window);
        SetFocus(window);
        PumpUntil([&] { return done.load(); }, 5000);
        DestroyWindow(window);
    });
    PumpUntil([&] { return boxes.Count() > 0; }, 5000);
    done = true;
    other.join();
    ASSERT_EQ(1u, boxes.Count()) << "the check did not run when the focus left for another program";
    EXPECT_EQ("Directory Name is invalid Please Correct", boxes.Last().text);
}
