// The destination check against a real drop-down combo box (control 1022) in a
// real dialog, with real folders and the real message boxes answered.
#include "dest/validate_destination.h"

#include <windows.h>
#include <shlwapi.h>

#include <string>
#include <vector>

#include "core/app_state.h"
#include "gtest/gtest.h"
#include "res/resource.h"
#include "tests/support/message_boxes.h"
#include "tests/support/test_files.h"
#include "tests/support/unix_command.h"

namespace {
constexpr char kInvalidName[] = "Directory Name is invalid Please Correct";
constexpr char kBadCharacters[] =
    "Directory Name cannot contain any of the following characters:\n"
    "              / : * ? \" < > | ";
constexpr char kAskCreate[] = "Directory does not exit do you want to create one ?";
constexpr UINT kErrorBox = MB_OK | MB_ICONERROR;

INT_PTR CALLBACK PlainDialogProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

// A modeless dialog made from an in-memory template: the destination box as the
// main window has it (CBS_DROPDOWN, id 1022) and a button to hold the focus.
class DestinationDialog {
public:
    DestinationDialog() {
        std::vector<WORD> t;
        auto dword = [&t](DWORD v) {
            t.push_back(LOWORD(v));
            t.push_back(HIWORD(v));
        };
        auto align = [&t] {
            if (t.size() % 2) t.push_back(0);
        };
        dword(WS_POPUP | WS_CAPTION | WS_VISIBLE | DS_MODALFRAME | DS_SETFONT);
        dword(0);
        t.push_back(2);                        // items
        t.insert(t.end(), {0, 0, 270, 120});   // x, y, cx, cy
        t.insert(t.end(), {0, 0, 0});          // no menu, default class, empty title
        t.push_back(8);
        for (char c : std::string("MS Shell Dlg")) t.push_back(static_cast<WORD>(c));
        t.push_back(0);
        align();
        dword(WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWN);
        dword(0);
        t.insert(t.end(), {18, 66, 230, 64, IDC_DEST_BOX, 0xFFFF, 0x0085, 0, 0});
        align();
        dword(WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON);
        dword(0);
        t.insert(t.end(), {18, 10, 50, 14, IDC_SPLIT, 0xFFFF, 0x0080, 'S', 'p', 'l', 'i', 't', 0, 0});
        window = CreateDialogIndirectParamA(GetModuleHandleA(nullptr),
                                            reinterpret_cast<LPCDLGTEMPLATEA>(t.data()), nullptr,
                                            PlainDialogProc, 0);
        box = GetDlgItem(window, IDC_DEST_BOX);
        edit = FindWindowExA(box, nullptr, "Edit", nullptr);
        other = GetDlgItem(window, IDC_SPLIT);
        SetForegroundWindow(window);
        SetFocus(other);
    }
    ~DestinationDialog() { DestroyWindow(window); }

    // The user typed text into the box and left it for the Split button.
    void Type(const std::string& text) {
        SetWindowTextA(box, text.c_str());
        SendMessageA(box, CB_SETEDITSEL, 0, MAKELPARAM(0, 0));
        SetFocus(other);
    }
    std::string Text() const {
        char text[512] = "";
        GetWindowTextA(box, text, sizeof text);
        return text;
    }
    // Lets the dialog handle what the closed boxes left in the queue.
    static void Settle() {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    void ExpectFocusInBoxWithAllSelected(const std::string& typed) {
        Settle();
        EXPECT_EQ(edit, GetFocus()) << "focus is not in the destination box";
        DWORD start = 99, end = 99;
        SendMessageA(box, CB_GETEDITSEL, reinterpret_cast<WPARAM>(&start),
                     reinterpret_cast<LPARAM>(&end));
        EXPECT_EQ(0u, start);
        EXPECT_EQ(typed.size(), end) << "the whole text is not selected";
        EXPECT_EQ(typed, Text()) << "the box must keep the text as typed";
    }

    HWND window, box, edit, other;
};

class ValidateDestinationTest : public ::testing::Test {
protected:
    // Types the text, checks it, and expects exactly one rejecting box.
    void ExpectRejected(const std::string& typed, const std::string& message, UINT style) {
        SCOPED_TRACE("typed: " + typed);
        dialog_.Type(typed);
        MessageBoxAnswerer boxes;
        boxes.Then(IDOK);
        EXPECT_FALSE(ValidateDestination(dialog_.window, typed.c_str()));
        ASSERT_EQ(1u, boxes.Count()) << boxes.Describe();
        EXPECT_EQ(message, boxes.Last().text);
        EXPECT_EQ(kWindowTitle, boxes.Last().caption);
        EXPECT_EQ(style, boxes.Last().style());
        EXPECT_EQ(dialog_.window, boxes.Last().owner);
        dialog_.ExpectFocusInBoxWithAllSelected(typed);
    }
    // Types the text and expects it accepted without a box or a focus change.
    void ExpectAcceptedSilently(const std::string& typed) {
        SCOPED_TRACE("typed: " + typed);
        dialog_.Type(typed);
        MessageBoxAnswerer boxes;
        EXPECT_TRUE(ValidateDestination(dialog_.window, typed.c_str()));
        EXPECT_EQ(0u, boxes.Count()) << boxes.Describe();
        DestinationDialog::Settle();
        EXPECT_EQ(dialog_.other, GetFocus());
    }
    // A path of exactly `length` characters under the scratch folder.
    std::string PathOfLength(std::size_t length) {
        std::string path = scratch_.path() + "\\";
        path += std::string(length - path.size(), 'd');
        return path;
    }

    DestinationDialog dialog_;
    ScratchDir scratch_;
};

TEST_F(ValidateDestinationTest, ExistingDirectoryIsAcceptedWithoutAMessage) {
    ExpectAcceptedSilently(scratch_.path());
    ExpectAcceptedSilently(scratch_.path() + "\\");
    ExpectAcceptedSilently("C:\\");
}

TEST_F(ValidateDestinationTest, EmptyTextIsRejectedSilentlyAndLeavesTheFocus) {
    dialog_.Type("");
    MessageBoxAnswerer boxes;
    EXPECT_FALSE(ValidateDestination(dialog_.window, ""));
    EXPECT_EQ(0u, boxes.Count()) << boxes.Describe();
    DestinationDialog::Settle();
    EXPECT_EQ(dialog_.other, GetFocus());
}

TEST_F(ValidateDestinationTest, ShortTextOrTwoTrailingBackslashesIsAnInvalidName) {
    ExpectRejected("x", kInvalidName, kErrorBox);
    ExpectRejected("xy", kInvalidName, kErrorBox);
    ExpectRejected("::", kInvalidName, kErrorBox);
    ExpectRejected(scratch_ / "new\\\\", kInvalidName, kErrorBox);
    EXPECT_FALSE(FileExists(scratch_ / "new"));
}

TEST_F(ValidateDestinationTest, AnythingButDriveColonPathGetsTheCharacterMessage) {
    const std::string drive = "C:\\velk";
    for (const char* bad : {":", "/", "*", "?", "\"", "<", ">", "|"}) {
        ExpectRejected(drive + bad + "x", kBadCharacters, kErrorBox);
        ExpectRejected(std::string(bad) + ":\\x", kBadCharacters, kErrorBox);
    }
    ExpectRejected("relative\\folder", kBadCharacters, kErrorBox);
    ExpectRejected("\\\\server\\share\\folder", kBadCharacters, kErrorBox);
    ExpectRejected("C:/velk", kBadCharacters, kErrorBox);
}

TEST_F(ValidateDestinationTest, YesCreatesTheMissingLevelAndSaysSo) {
    const std::string typed = scratch_ / "made\\";  // one trailing backslash passes the checks
    dialog_.Type(typed);
    MessageBoxAnswerer boxes;
    boxes.Then(IDYES).Then(IDOK);
    EXPECT_TRUE(ValidateDestination(dialog_.window, typed.c_str()));
    ASSERT_EQ(2u, boxes.Count()) << boxes.Describe();
    EXPECT_EQ(kAskCreate, boxes.Seen()[0].text);
    EXPECT_EQ(static_cast<UINT>(MB_YESNO | MB_ICONQUESTION), boxes.Seen()[0].style());
    EXPECT_EQ(dialog_.window, boxes.Seen()[0].owner);
    EXPECT_EQ("Directory Created", boxes.Seen()[1].text);
    EXPECT_EQ(static_cast<UINT>(MB_OK), boxes.Seen()[1].style());
    EXPECT_EQ(kWindowTitle, boxes.Seen()[1].caption);
    EXPECT_EQ(dialog_.window, boxes.Seen()[1].owner);
    EXPECT_TRUE(PathIsDirectoryA((scratch_ / "made").c_str()));
    EXPECT_EQ(typed, dialog_.Text());
}

TEST_F(ValidateDestinationTest, NoAsksForACorrection) {
    const std::string typed = scratch_ / "notmade";
    dialog_.Type(typed);
    MessageBoxAnswerer boxes;
    boxes.Then(IDNO).Then(IDOK);
    EXPECT_FALSE(ValidateDestination(dialog_.window, typed.c_str()));
    ASSERT_EQ(2u, boxes.Count()) << boxes.Describe();
    EXPECT_EQ(kAskCreate, boxes.Seen()[0].text);
    EXPECT_EQ("Correct the Directory Name", boxes.Seen()[1].text);
    EXPECT_EQ(static_cast<UINT>(MB_OK | MB_ICONINFORMATION), boxes.Seen()[1].style());
    EXPECT_EQ(dialog_.window, boxes.Seen()[1].owner);
    EXPECT_FALSE(FileExists(typed));
    dialog_.ExpectFocusInBoxWithAllSelected(typed);
}

// Run under ja_JP.UTF-8 (code page 932): the second byte of 表 is 0x5C and that of
// ポ 0x7C, neither a backslash nor a vertical bar.
class JapaneseDestination : public ValidateDestinationTest {
protected:
    void SetUp() override {
        if (GetACP() != 932) GTEST_SKIP() << "the ANSI code page is " << GetACP() << ", not 932";
    }
};

TEST_F(JapaneseDestination, SecondBytesAreNoSeparatorsNorForbiddenCharacters) {
    // 予定表 with one trailing backslash, and ポート.
    for (const std::string name : {"\x97\x5C\x92\xE8\x95\x5C\\", "\x83\x7C\x81\x5B\x83\x67"}) {
        const std::string typed = scratch_ / name;
        dialog_.Type(typed);
        MessageBoxAnswerer boxes;
        boxes.Then(IDYES).Then(IDOK);
        EXPECT_TRUE(ValidateDestination(dialog_.window, typed.c_str())) << name;
        ASSERT_EQ(2u, boxes.Count()) << boxes.Describe();
        EXPECT_EQ(kAskCreate, boxes.Seen()[0].text);
        EXPECT_TRUE(PathIsDirectoryA(typed.c_str())) << name;
    }
}

TEST_F(ValidateDestinationTest, OnlyOneLevelIsCreated) {
    const std::string typed = scratch_ / "missing\\child";
    dialog_.Type(typed);
    MessageBoxAnswerer boxes;
    boxes.Then(IDYES).Then(IDOK);
    EXPECT_FALSE(ValidateDestination(dialog_.window, typed.c_str()));
    ASSERT_EQ(2u, boxes.Count()) << boxes.Describe();
    EXPECT_EQ("Error While Creating Directory", boxes.Seen()[1].text);
    EXPECT_EQ(kErrorBox, boxes.Seen()[1].style());
    EXPECT_FALSE(FileExists(scratch_ / "missing"));
    dialog_.ExpectFocusInBoxWithAllSelected(typed);
}

TEST_F(ValidateDestinationTest, APathToAFileIsNeverAcceptedAndTheFileStays) {
    // Here the platform reports a file with a trailing backslash as a missing
    // path: the offer comes, and creating fails on the file.
    const std::string file = scratch_ / "data.zip";
    ASSERT_TRUE(WritePattern(file, 100));
    dialog_.Type(file);
    MessageBoxAnswerer boxes;
    boxes.Then(IDYES).Then(IDOK);
    EXPECT_FALSE(ValidateDestination(dialog_.window, file.c_str()));
    ASSERT_GE(boxes.Count(), 1u);
    EXPECT_EQ(kErrorBox, boxes.Last().style()) << boxes.Describe();
    EXPECT_EQ(100, FileSize(file));
    dialog_.ExpectFocusInBoxWithAllSelected(file);

    // At 259 characters there is no room for the backslash, so the file itself is
    // found: it is still no directory.
    const std::string longFile = PathOfLength(259);
    ASSERT_TRUE(WritePattern(longFile, 100));
    ExpectRejected(longFile, kInvalidName, kErrorBox);
    EXPECT_EQ(100, FileSize(longFile));
}

TEST_F(ValidateDestinationTest, PathOf259CharactersIsCheckedWithoutOverrun) {
    const std::string typed = PathOfLength(259);
    ASSERT_EQ(259u, typed.size());
    dialog_.Type(typed);
    MessageBoxAnswerer boxes;
    boxes.Then(IDYES).Then(IDOK);
    bool accepted = ValidateDestination(dialog_.window, typed.c_str());
    ASSERT_EQ(2u, boxes.Count()) << boxes.Describe();
    EXPECT_EQ(kAskCreate, boxes.Seen()[0].text);
    // Whether a directory name this long can be made is the file system's affair;
    // the answer must match what happened.
    EXPECT_EQ(accepted, PathIsDirectoryA(typed.c_str()) != FALSE);
    EXPECT_EQ(accepted ? "Directory Created" : "Error While Creating Directory", boxes.Seen()[1].text);
    if (accepted) ExpectAcceptedSilently(typed);
}

TEST_F(ValidateDestinationTest, AccessDeniedIsExplained) {
    // Drive N: points at a folder this host refuses to show (init's root).
    if (RunUnixCommand("ln -sfn /proc/1/root $WINEPREFIX/dosdevices/n:") != 0) {
        GTEST_SKIP() << "could not make drive N:";
    }
    SetLastError(0);
    DWORD attributes = GetFileAttributesA("N:\\velk\\");
    DWORD error = GetLastError();
    if (attributes != INVALID_FILE_ATTRIBUTES || error != ERROR_ACCESS_DENIED) {
        RunUnixCommand("rm -f $WINEPREFIX/dosdevices/n:");
        GTEST_SKIP() << "this host does not deny the folder (error " << error << ")";
    }
    ExpectRejected("N:\\velk", "Access Denied to Open the Directory", kErrorBox);
    RunUnixCommand("rm -f $WINEPREFIX/dosdevices/n:");
}

TEST_F(ValidateDestinationTest, AnUnnamedPlatformErrorIsUnknown) {
    // A pasted tab passes the character rule; the platform calls the name invalid.
    ExpectRejected("C:\\velk\tfolder", "Unknown Error", kErrorBox);
}

TEST_F(ValidateDestinationTest, ADriveWithoutADiskAsksForOne) {
    // Wine reports a drive whose folder is missing as a missing path, not as a
    // drive that is not ready, so error 21 cannot be produced here.
    if (RunUnixCommand("ln -sfn /nonexistent/velk-no-disk $WINEPREFIX/dosdevices/n:") != 0) {
        GTEST_SKIP() << "could not make drive N:";
    }
    SetLastError(0);
    DWORD attributes = GetFileAttributesA("N:\\velk\\");
    DWORD error = GetLastError();
    if (attributes != INVALID_FILE_ATTRIBUTES || error != ERROR_NOT_READY) {
        RunUnixCommand("rm -f $WINEPREFIX/dosdevices/n:");
        GTEST_SKIP() << "this platform gives error " << error << " for a drive without a disk, not 21";
    }
    ExpectRejected("N:\\velk", "Insert Disk & Retry", kErrorBox);
    RunUnixCommand("rm -f $WINEPREFIX/dosdevices/n:");
}
}  // namespace
