// The tooltip relay against the real tooltip control: what the hook hands it, what
// the control then shows, and that nothing is relayed once the relay is gone.
#include "about/tooltip_relay.h"

#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <string>
#include <vector>

#include "about/hyperlink.h"
#include "core/app_state.h"
#include "gtest/gtest.h"
#include "tests/about/about_test_windows.h"
#include "tests/support/message_boxes.h"

namespace {

constexpr char kTip[] = "http://www.velk.example/";

// Watches a tooltip control from the outside: which windows' moves reached it.
class RelaySpy {
public:
    explicit RelaySpy(HWND tooltip) : tooltip_(tooltip) {
        SetPropA(tooltip, kSpyProperty, this);
        original_ = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrA(tooltip, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Proc)));
    }
    ~RelaySpy() {
        if (IsWindow(tooltip_)) {
            SetWindowLongPtrA(tooltip_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original_));
        }
        RemovePropA(tooltip_, kSpyProperty);
    }
    const std::vector<MSG>& Relayed() const { return relayed_; }
    int CountFor(HWND window) const {
        int count = 0;
        for (const MSG& msg : relayed_) count += msg.hwnd == window;
        return count;
    }

private:
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* spy = static_cast<RelaySpy*>(GetPropA(window, kSpyProperty));
        if (message == TTM_RELAYEVENT && lParam != 0) {
            spy->relayed_.push_back(*reinterpret_cast<MSG*>(lParam));
        }
        return CallWindowProcA(spy->original_, window, message, wParam, lParam);
    }
    static constexpr char kSpyProperty[] = "VelkRelaySpy";
    HWND tooltip_;
    WNDPROC original_;
    std::vector<MSG> relayed_;
};

void PostMove(HWND window) {
    PostMessageA(window, WM_MOUSEMOVE, 0, MAKELPARAM(3, 3));
    DrainQueue();
}

std::string CurrentTipText(HWND tooltip, HWND* tool) {
    char text[1024] = {};
    TOOLINFOA info = {};
    info.cbSize = TTTOOLINFOA_V2_SIZE;
    info.lpszText = text;
    if (!SendMessageA(tooltip, TTM_GETCURRENTTOOLA, 0, reinterpret_cast<LPARAM>(&info))) return "";
    *tool = reinterpret_cast<HWND>(info.uId);
    return text;
}

HWND MakeChild(HWND parent, int x, int y) {
    return CreateWindowExA(0, "STATIC", "plain child", WS_CHILD | WS_VISIBLE, x, y, 120, 20, parent,
                           nullptr, appInstance, nullptr);
}

}  // namespace

TEST(ToolTipRelay, MovesOverTheOwnersDescendantsReachTheControlAndTheToolShowsItsTip) {
    MoveCursorTo(FarCorner());
    TestParent owner;
    HWND plain = MakeChild(owner, 20, 100);
    HyperLink link(owner, kTip, "www.velk.example", 0, 0, 0, "Tahoma", 10, 400, 2, 20, 20);
    auto relay = std::make_unique<ToolTipRelay>(owner);
    ASSERT_NE(nullptr, relay->tooltip);
    ASSERT_NE(nullptr, relay->hook);
    EXPECT_EQ(relay.get(), currentRelay);
    EXPECT_EQ(owner.get(), GetWindow(relay->tooltip, GW_OWNER));
    char className[64];
    GetClassNameA(relay->tooltip, className, sizeof(className));
    EXPECT_STREQ(TOOLTIPS_CLASSA, className);
    EXPECT_TRUE(GetWindowLongPtrA(relay->tooltip, GWL_STYLE) & TTS_ALWAYSTIP);
    EXPECT_EQ(WS_EX_TOPMOST | WS_EX_TOOLWINDOW,
              GetWindowLongPtrA(relay->tooltip, GWL_EXSTYLE) & (WS_EX_TOPMOST | WS_EX_TOOLWINDOW));

    EXPECT_NE(0, relay->AddTool(link.window, kTip));
    EXPECT_EQ(1, SendMessageA(relay->tooltip, TTM_GETTOOLCOUNT, 0, 0));
    RelaySpy spy(relay->tooltip);

    // The owner itself is no descendant; clicks are never relayed.
    PostMove(owner);
    PostMessageA(link.window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
    DrainQueue();
    EXPECT_TRUE(spy.Relayed().empty()) << spy.Relayed().size() << " messages relayed";

    // A child that is no tool is relayed and shows nothing.
    PostMove(plain);
    EXPECT_EQ(1, spy.CountFor(plain));
    EXPECT_EQ(static_cast<UINT>(WM_MOUSEMOVE), spy.Relayed().back().message);
    EXPECT_FALSE(IsWindowVisible(relay->tooltip));

    MoveCursorTo(CentreOnScreen(link.window));
    PostMove(link.window);
    EXPECT_EQ(1, spy.CountFor(link.window)) << "relayed once, by the one hook";
    ASSERT_TRUE(PumpUntil([&] { return IsWindowVisible(relay->tooltip) != FALSE; }, 5000))
        << "the tip did not show over the link";
    HWND tool = nullptr;
    EXPECT_EQ(kTip, CurrentTipText(relay->tooltip, &tool));
    EXPECT_EQ(link.window, tool);
    MoveCursorTo(FarCorner());
}

TEST(ToolTipRelay, NothingIsRelayedOnceTheRelayIsDeleted) {
    TestParent owner;
    HWND child = MakeChild(owner, 10, 10);
    auto relay = std::make_unique<ToolTipRelay>(owner);
    HWND tooltip = relay->tooltip;
    relay->AddTool(child, kTip);
    RelaySpy spy(tooltip);
    PostMove(child);
    ASSERT_EQ(1, spy.CountFor(child));

    relay.reset();
    EXPECT_EQ(nullptr, currentRelay);
    EXPECT_TRUE(IsWindow(tooltip)) << "the control goes with its owner, not with the relay";
    PostMove(child);
    EXPECT_EQ(1, spy.CountFor(child)) << "a move was relayed after the relay was deleted";
}

TEST(ToolTipRelay, NullOwnerGivesARelayWithoutControlOrHook) {
    MessageBoxAnswerer boxes;
    ToolTipRelay* before = currentRelay;
    auto relay = std::make_unique<ToolTipRelay>(nullptr);
    EXPECT_EQ(nullptr, relay->tooltip);
    EXPECT_EQ(nullptr, relay->hook);
    EXPECT_EQ(before, currentRelay);
    TestParent parent;
    EXPECT_EQ(0, relay->AddTool(MakeChild(parent, 0, 0), kTip));
    relay.reset();
    EXPECT_EQ(0u, boxes.Count()) << boxes.Describe();
}

TEST(ToolTipRelay, ControlThatCannotBeCreatedIsReportedAndLeavesNoHook) {
    HWND gone = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                appInstance, nullptr);
    DestroyWindow(gone);
    MessageBoxAnswerer boxes;
    boxes.Then(IDOK);
    auto relay = std::make_unique<ToolTipRelay>(gone);
    EXPECT_EQ(nullptr, relay->tooltip);
    EXPECT_EQ(nullptr, relay->hook);
    EXPECT_EQ(nullptr, currentRelay);
    EXPECT_EQ(0, relay->AddTool(gone, kTip));
    if (boxes.Count() == 1) {  // a box owned by a window that is gone may not open at all
        EXPECT_EQ("Error Creating ToolTip Control", boxes.Last().text);
        EXPECT_EQ("ToolTipClass", boxes.Last().caption);
        EXPECT_EQ(static_cast<UINT>(MB_OK | MB_ICONERROR), boxes.Last().style());
    }
}

// A second relay serves alone while it exists and hands back to the first.
TEST(ToolTipRelay, SecondRelayTakesOverAndHandsBackWhenItGoes) {
    TestParent firstOwner(60, 300, 200, 100);
    TestParent secondOwner(300, 300, 200, 100);
    HWND firstChild = MakeChild(firstOwner, 5, 5);
    HWND secondChild = MakeChild(secondOwner, 5, 5);
    auto first = std::make_unique<ToolTipRelay>(firstOwner);
    first->AddTool(firstChild, kTip);
    RelaySpy firstSpy(first->tooltip);

    {
        ToolTipRelay second(secondOwner);
        second.AddTool(secondChild, kTip);
        EXPECT_EQ(&second, currentRelay);
        RelaySpy secondSpy(second.tooltip);
        PostMove(secondChild);
        PostMove(firstChild);
        EXPECT_EQ(1, secondSpy.CountFor(secondChild)) << "each move relayed once";
        EXPECT_EQ(0, firstSpy.CountFor(firstChild)) << "only the newest relay is served";
    }

    EXPECT_EQ(first.get(), currentRelay);
    ASSERT_NE(nullptr, first->hook);
    PostMove(firstChild);
    EXPECT_EQ(1, firstSpy.CountFor(firstChild));

    // Deleted out of turn: the newer one still works, and nothing points at the old.
    auto third = std::make_unique<ToolTipRelay>(secondOwner);
    first.reset();
    EXPECT_EQ(third.get(), currentRelay);
    third.reset();
    EXPECT_EQ(nullptr, currentRelay);
}
