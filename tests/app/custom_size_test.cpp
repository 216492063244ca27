// The custom size dialog run modally as the main window runs it, typed into and
// answered by a script.
#include <windows.h>

#include <string>

#include "core/app_state.h"
#include "app/custom_size.h"
#include "gtest/gtest.h"
#include "res/resource.h"
#include "tests/app/ui_script.h"
#include "tests/support/message_boxes.h"
#include "tests/support/test_files.h"

namespace {
HWND Dialog() { return FindThreadWindow("#32770", "Choose Custom File Split Size"); }
HWND SizeBox() { return GetDlgItem(Dialog(), IDC_CUSTOM_SIZE_BOX); }
HWND PartsBox() { return GetDlgItem(Dialog(), IDC_CUSTOM_PARTS_BOX); }
std::string Label() { return ItemText(Dialog(), IDC_CUSTOM_SIZE_LABEL); }

bool WholeBoxSelected() {
    DWORD start = 1, end = 0;
    SendMessageA(SizeBox(), EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                 reinterpret_cast<LPARAM>(&end));
    return GetFocus() == SizeBox() && start == 0 &&
           end == static_cast<DWORD>(GetWindowTextLengthA(SizeBox()));
}

void Press(int id) {
    PostMessageA(Dialog(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(Dialog(), id)));
}

void Key(UINT key) {
    PostMessageA(SizeBox(), WM_KEYDOWN, key, 0);
    PostMessageA(SizeBox(), WM_KEYUP, key, 0xC0000000);
}

class CustomSizeDialog : public ::testing::Test {
protected:
    void SetUp() override { ResetAppState(); }
    void TearDown() override {
        ResetAppState();
        ForgetChosenParts();
    }
    INT_PTR Run(UiScript& script) {
        script.OnTimeout([] { EndDialog(Dialog(), 99); });
        return DialogBoxParamA(appInstance, "CUSTOMSIZE", nullptr, CustomSizeDlgProc, 0);
    }
};
}  // namespace

TEST_F(CustomSizeDialog, OpensOnAZeroSelectedAndTheLabelFollowsEveryKeystroke) {
    std::vector<std::string> labels;
    bool openedSelected = false;
    bool openAfterEscape = false;
    UiScript script;
    script.When("dialog shown", [] { return Dialog() != nullptr; }, [&] {
        openedSelected = WholeBoxSelected() && ItemText(Dialog(), IDC_CUSTOM_SIZE_BOX) == "0";
        labels.push_back(Label());
        for (char c : std::string("500")) {
            SendMessageA(SizeBox(), WM_CHAR, c, 1);
            labels.push_back(Label());
        }
        Key(VK_ESCAPE);
    });
    script.When("escape handled", [] { return true; }, [&] {
        openAfterEscape = Dialog() != nullptr;
        Key(VK_RETURN);  // Enter in the size box is OK
    });
    INT_PTR result = Run(script);

    EXPECT_TRUE(openedSelected) << "the box did not open on a selected, focused 0";
    EXPECT_EQ((std::vector<std::string>{"Custom Size is : 0 Bytes", "Custom Size is : 5 Bytes",
                                        "Custom Size is : 50 Bytes", "Custom Size is : 500 Bytes"}),
              labels);
    EXPECT_TRUE(openAfterEscape) << "Escape closed the dialog";
    EXPECT_EQ(0, result);
    EXPECT_EQ(500u, appState.splitSize);
}

TEST_F(CustomSizeDialog, ZeroAsksToRetryOrCancelAndCancelKeepsTheSize) {
    MessageBoxAnswerer boxes;
    HWND dialog = nullptr;
    bool selectedAfterRetry = false;
    boxes.Then(IDRETRY).Then(IDCANCEL);
    UiScript script;
    script.When("dialog shown", [] { return Dialog() != nullptr; }, [&] {
        dialog = Dialog();
        Press(IDOK);
    });
    script.When("back in the box after Retry", [&] { return boxes.Count() == 1 && WholeBoxSelected(); },
                [&] {
                    selectedAfterRetry = true;
                    // Pasted text gets past the digits-only box and counts as 0 too.
                    SetWindowTextA(SizeBox(), "12ab");
                    Press(IDOK);
                });
    INT_PTR result = Run(script);

    ASSERT_EQ(2u, boxes.Count()) << boxes.Describe();
    for (const SeenBox& box : boxes.Seen()) {
        EXPECT_EQ("Split Size Cannot be 0 Bytes", box.text);
        EXPECT_EQ(kWindowTitle, box.caption);
        EXPECT_EQ(static_cast<UINT>(MB_RETRYCANCEL), box.style());
        EXPECT_EQ(dialog, box.owner) << "the box belongs to the dialog";
    }
    EXPECT_TRUE(selectedAfterRetry);
    EXPECT_EQ(1, result);
    EXPECT_EQ(kFloppySplitSize, appState.splitSize);
}

TEST_F(CustomSizeDialog, TheCancelButtonEndsWithOneAndKeepsTheSize) {
    UiScript script;
    script.When("dialog shown", [] { return Dialog() != nullptr; }, [] {
        SetWindowTextA(SizeBox(), "1234");
        Press(IDC_CUSTOM_CANCEL);
    });
    EXPECT_EQ(1, Run(script));
    EXPECT_EQ(kFloppySplitSize, appState.splitSize);
}

TEST_F(CustomSizeDialog, TheLargestNumberIsAcceptedAndOneMoreIsZero) {
    MessageBoxAnswerer boxes;
    boxes.Then(IDRETRY);
    std::string labelOfTooLarge;
    UiScript script;
    script.When("dialog shown", [] { return Dialog() != nullptr; }, [&] {
        SetWindowTextA(SizeBox(), "4294967296");
        labelOfTooLarge = Label();
        Press(IDOK);
    });
    script.When("retried", [&] { return boxes.Count() == 1 && WholeBoxSelected(); }, [] {
        SetWindowTextA(SizeBox(), "4294967295");
        Press(IDOK);
    });
    EXPECT_EQ(0, Run(script));
    EXPECT_EQ("Custom Size is : 0 Bytes", labelOfTooLarge);
    EXPECT_EQ(4294967295u, appState.splitSize);
}

TEST_F(CustomSizeDialog, PartsShowTheirSizeLiveAndAreRefusedWithoutASourceOrOver4GBEach) {
    ScratchDir dir;
    const std::string nine = dir / "nine.bin";
    if (!MakeSizedFile(nine, 9ull << 30)) GTEST_SKIP() << "no sparse file of 9 GiB here";
    MessageBoxAnswerer boxes;
    boxes.Then(IDOK).Then(IDOK);
    std::vector<std::string> seen;
    auto typeParts = [&](const char* parts) {
        SetWindowTextA(PartsBox(), parts);
        seen.push_back(ItemText(Dialog(), IDC_CUSTOM_SIZE_BOX) + " | " + Label());
        Press(IDOK);
    };
    auto refused = [&](std::size_t count) {
        return [&boxes, count] { return boxes.Count() == count && GetFocus() == PartsBox(); };
    };
    UiScript script;
    script.When("dialog shown", [] { return Dialog() != nullptr; }, [&] { typeParts("2"); });
    script.When("refused without a source", refused(1), [&] {
        CopyText(appState.sourcePath, nine.c_str());
        appState.fileSize = 9ull << 30;
        typeParts("2");
    });
    script.When("refused over 4 GB", refused(2), [&] {
        SetWindowTextA(SizeBox(), "1000");  // bytes typed take over again
        seen.push_back(ItemText(Dialog(), IDC_CUSTOM_PARTS_BOX) + " | " + Label());
        typeParts("4");
    });
    EXPECT_EQ(0, Run(script));
    EXPECT_EQ((std::vector<std::string>{"0 | Select a File to Split first",
                                        "4831838208 | Parts over 4 GB: at least 3 Parts",
                                        " | Custom Size is : 0.98 KB",
                                        "2415919104 | Custom Size is : 2.25 GB"}),
              seen);
    ASSERT_EQ(2u, boxes.Count()) << boxes.Describe();
    EXPECT_EQ("Select a File to Split before choosing a Number of Parts", boxes.Seen()[0].text);
    EXPECT_EQ("Each of 2 Parts of this File would be larger than 4 GB (4294967295 bytes), the "
              "largest Split Size.\nChoose at least 3 Parts.",
              boxes.Seen()[1].text);
    EXPECT_EQ(2415919104u, appState.splitSize);
    EXPECT_EQ(4u, ChosenParts());
}
