#include "about/tooltip_relay.h"

#include <commctrl.h>

#include "core/app_state.h"

#include <cstddef>

// TTTOOLINFOA_V2_SIZE is the record up to and with lParam: 44 bytes on 32-bit Windows.
static_assert(sizeof(void*) != 4 || offsetof(TTTOOLINFOA, lParam) + sizeof(LPARAM) == 44,
              "TOOLINFOA is 44 bytes");

ToolTipRelay* currentRelay = nullptr;

namespace {

HHOOK InstallRelayHook() {
    return SetWindowsHookExA(WH_GETMESSAGE, RelayHookProc, nullptr, GetCurrentThreadId());
}

}  // namespace

// Relays stack: a second one takes the hook over while it exists and hands it back
// when it goes, so one mouse move is never relayed twice and the first relay works
// again afterwards.
ToolTipRelay::ToolTipRelay(HWND ownerWindow)
    : tooltip(nullptr), hook(nullptr), owner(nullptr), previous(nullptr) {
    if (ownerWindow == nullptr) return;

    INITCOMMONCONTROLSEX controls = {};
    controls.dwSize = sizeof(controls);
    controls.dwICC = ICC_BAR_CLASSES;
    InitCommonControlsEx(&controls);

    owner = ownerWindow;
    tooltip = CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, TOOLTIPS_CLASSA, nullptr,
                              WS_POPUP | WS_BORDER | TTS_ALWAYSTIP, 0, 0, 0, 0, owner, nullptr,
                              appInstance, nullptr);
    if (tooltip == nullptr) {
        MessageBoxA(owner, "Error Creating ToolTip Control", "ToolTipClass", MB_ICONERROR);
        return;
    }

    previous = currentRelay;
    if (previous != nullptr && previous->hook != nullptr) {
        UnhookWindowsHookEx(previous->hook);
        previous->hook = nullptr;
    }
    currentRelay = this;
    hook = InstallRelayHook();
}

ToolTipRelay::~ToolTipRelay() {
    if (hook != nullptr) UnhookWindowsHookEx(hook);
    if (currentRelay == this) {
        currentRelay = previous;
        if (previous != nullptr && previous->tooltip != nullptr) previous->hook = InstallRelayHook();
        return;
    }
    // Deleted out of turn: drop it from the stack so nobody hands the hook back to it.
    for (ToolTipRelay* relay = currentRelay; relay != nullptr; relay = relay->previous) {
        if (relay->previous == this) {
            relay->previous = previous;
            break;
        }
    }
}

LRESULT ToolTipRelay::AddTool(HWND toolWindow, const char* tipText) {
    if (tooltip == nullptr) return 0;
    TOOLINFOA tool = {};
    tool.cbSize = TTTOOLINFOA_V2_SIZE;
    tool.uFlags = TTF_IDISHWND;
    tool.hwnd = owner;
    tool.uId = reinterpret_cast<UINT_PTR>(toolWindow);
    tool.hinst = nullptr;
    tool.lpszText = const_cast<char*>(tipText);
    tool.lParam = 0;
    return SendMessageA(tooltip, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
}

LRESULT CALLBACK RelayHookProc(int code, WPARAM wParam, LPARAM lParam) {
    ToolTipRelay* relay = currentRelay;
    HHOOK hook = relay != nullptr ? relay->hook : nullptr;
    if (code < 0 || relay == nullptr) return CallNextHookEx(hook, code, wParam, lParam);

    auto* message = reinterpret_cast<MSG*>(lParam);
    if (message->message == WM_MOUSEMOVE && IsChild(relay->owner, message->hwnd)) {
        SendMessageA(relay->tooltip, TTM_RELAYEVENT, 0, lParam);
    }
    return CallNextHookEx(hook, code, wParam, lParam);
}
