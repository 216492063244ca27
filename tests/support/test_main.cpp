// The entry of every test program: GoogleTest, plus a watchdog that fails the
// running test when a message box of this process stays up with nobody to answer
// it, and then answers it, so no test can hang the suite on a box.
#include <windows.h>

#include <atomic>
#include <map>
#include <string>
#include <thread>

#include "gtest/gtest.h"
#include "tests/support/message_boxes.h"

namespace {

constexpr DWORD kUnansweredMs = 8000;
constexpr DWORD kLookEveryMs = 250;

BOOL CALLBACK CollectOwnBoxes(HWND window, LPARAM found) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == GetCurrentProcessId() && IsWindowVisible(window) && IsMessageBox(window)) {
        reinterpret_cast<std::map<HWND, DWORD>*>(found)->emplace(window, GetTickCount());
    }
    return TRUE;
}

class BoxWatchdog : public testing::Environment {
public:
    void SetUp() override {
        thread_ = std::thread([this] { Watch(); });
    }
    void TearDown() override {
        stop_ = true;
        thread_.join();
    }

private:
    void Watch() {
        std::map<HWND, DWORD> firstSeen;
        while (!stop_) {
            std::map<HWND, DWORD> now;
            EnumWindows(CollectOwnBoxes, reinterpret_cast<LPARAM>(&now));
            for (auto& [box, seen] : now) {
                auto earlier = firstSeen.find(box);
                if (earlier != firstSeen.end()) seen = earlier->second;
                if (GetTickCount() - seen < kUnansweredMs) continue;
                SeenBox read = ReadMessageBox(box);
                ADD_FAILURE() << "a message box nobody answered: caption [" << read.caption
                              << "] text [" << read.text << "]";
                PressBoxButton(box, GetDlgItem(box, IDCANCEL) ? IDCANCEL
                                    : GetDlgItem(box, IDNO)   ? IDNO
                                                              : IDOK);
                seen = GetTickCount();  // pressed: give it time to go
            }
            firstSeen.swap(now);
            Sleep(kLookEveryMs);
        }
    }

    std::atomic<bool> stop_{false};
    std::thread thread_;
};

}  // namespace

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    testing::AddGlobalTestEnvironment(new BoxWatchdog);
    return RUN_ALL_TESTS();
}
