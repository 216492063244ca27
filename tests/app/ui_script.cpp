#include "tests/app/ui_script.h"

#include "gtest/gtest.h"

namespace {
UiScript* activeScript = nullptr;

struct Search {
    const char* className;
    const char* caption;
    HWND found;
    HWND owner;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM data) {
    Search* search = reinterpret_cast<Search*>(data);
    if (!IsWindowVisible(window)) return TRUE;
    char cls[64] = "";
    GetClassNameA(window, cls, sizeof cls);
    if (lstrcmpA(cls, search->className) != 0) return TRUE;
    if (search->caption != nullptr && WindowText(window) != search->caption) return TRUE;
    search->found = window;
    return FALSE;
}
BOOL CALLBACK MatchOwner(HWND window, LPARAM data) {
    Search* search = reinterpret_cast<Search*>(data);
    if (!IsWindowVisible(window) || GetWindow(window, GW_OWNER) != search->owner) return TRUE;
    search->found = window;
    return FALSE;
}
}  // namespace

UiScript::UiScript(DWORD timeoutMs)
    : deadline_(GetTickCount() + timeoutMs), timeoutMs_(timeoutMs) {
    activeScript = this;
    timer_ = SetTimer(nullptr, 0, 20, Tick);
}

UiScript::~UiScript() {
    KillTimer(nullptr, timer_);
    activeScript = nullptr;
    if (timedOut_ || !steps_.empty()) {
        ADD_FAILURE() << "UI script timed out; waiting for step: " << Waiting();
    }
}

UiScript& UiScript::When(const std::string& name, std::function<bool()> ready,
                         std::function<void()> act) {
    steps_.push_back({name, std::move(ready), std::move(act)});
    return *this;
}

UiScript& UiScript::OnTimeout(std::function<void()> rescue) {
    rescue_ = std::move(rescue);
    return *this;
}

void CALLBACK UiScript::Tick(HWND, UINT, UINT_PTR, DWORD) {
    if (activeScript != nullptr) activeScript->RunReadySteps();
}

void UiScript::RunReadySteps() {
    // An act that opens a modal window keeps ticking inside it; never run nested.
    if (running_ || timedOut_) return;
    running_ = true;
    while (!steps_.empty() && steps_.front().ready()) {
        Step step = std::move(steps_.front());
        steps_.pop_front();
        deadline_ = GetTickCount() + timeoutMs_;
        step.act();
    }
    // Also after the last step: the modal loop it should have ended is still running.
    if (static_cast<LONG>(GetTickCount() - deadline_) > 0) {
        timedOut_ = true;
        if (rescue_) rescue_();
    }
    running_ = false;
}

HWND FindThreadWindow(const char* className, const char* caption) {
    Search search{className, caption, nullptr, nullptr};
    EnumThreadWindows(GetCurrentThreadId(), MatchWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::string WindowText(HWND window) {
    char text[1024] = "";
    GetWindowTextA(window, text, sizeof text);
    return text;
}

std::string ItemText(HWND dialog, int id) {
    char text[1024] = "";
    GetDlgItemTextA(dialog, id, text, sizeof text);
    return text;
}

HWND FindOwnedWindow(HWND owner) {
    Search search{nullptr, nullptr, nullptr, owner};
    EnumThreadWindows(GetCurrentThreadId(), MatchOwner, reinterpret_cast<LPARAM>(&search));
    return search.found;
}
