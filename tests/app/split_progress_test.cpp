// A long run through the real main window: the window answers all through it, the
// progress window shows the part and a bar that rise to the end, and Escape stops
// the run after the slice under way with only the bytes really written on disk.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "core/app_state.h"
#include "app/main_window.h"
#include "res/resource.h"
#include "split/mapped_file.h"
#include "split/split_run.h"
#include "tests/app/main_window_fixture.h"
#include "tests/support/message_boxes.h"
#include "tests/support/test_files.h"

namespace {
struct ProgressSearch {
    HWND owner;
    HWND found;
};

BOOL CALLBACK MatchProgress(HWND window, LPARAM data) {
    ProgressSearch* search = reinterpret_cast<ProgressSearch*>(data);
    char cls[32] = "";
    GetClassNameA(GetDlgItem(window, IDC_PROGRESS_BAR), cls, sizeof cls);
    if (!IsWindowVisible(window) || GetWindow(window, GW_OWNER) != search->owner ||
        lstrcmpiA(cls, PROGRESS_CLASSA) != 0) {
        return TRUE;
    }
    search->found = window;
    return FALSE;
}

// The run's progress window, told by its bar without a message to it (another
// thread asks while the window's own thread is busy), or null.
HWND ProgressWindowOf(HWND owner) {
    ProgressSearch search{owner, nullptr};
    EnumThreadWindows(GetWindowThreadProcessId(owner, nullptr), MatchProgress,
                      reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// What another thread sees of the run at one look.
struct Look {
    DWORD answerMs;  // of the main window to WM_NULL; 0xFFFFFFFF when it gave none
    unsigned long part, partCount;
    DWORD_PTR bar;
};

// The tests hold the run at a report through a hook of their own, which the
// window's hook calls after its own work. While held, the window's hook is called
// on as if after further slices, so the window answers as it does in a run.
HWND mainWindow = nullptr;
std::atomic<unsigned> lookCount{0};
std::atomic<DWORD_PTR> lastBar{0};
DWORD cutPart = 0, written = 0;
bool holding = false;

// Until ready() or five seconds; false when the window's hook stopped the run.
template <typename Ready>
bool Hold(const SplitProgress& progress, Ready ready) {
    holding = true;  // the window's hook, called from here, calls the test's hook again
    bool goOn = true;
    for (DWORD start = GetTickCount(); goOn && !ready() && GetTickCount() - start < 5000;) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        goOn = splitProgressHook(progress);
    }
    holding = false;
    return goOn;
}

// Each report waits for a look of the watcher; the last slice until the bar is seen full.
bool HoldForALook(const SplitProgress& progress) {
    if (holding) return true;
    unsigned seen = lookCount;
    return Hold(progress, [&] {
        return lookCount > seen && (progress.bytesDone < progress.fileSize || lastBar == 1000);
    });
}

// True once, at the first report inside a part after the first, which it notes.
bool InALaterPart(const SplitProgress& progress) {
    if (holding || cutPart != 0 || progress.part < 2 || progress.partDone == 0 ||
        progress.partDone == progress.partLength) {
        return false;
    }
    cutPart = progress.part;
    written = progress.partDone;
    return true;
}

// Held until the window has taken the key, so the run stops at this report.
bool PressEscape(const SplitProgress& progress) {
    if (!InALaterPart(progress)) return true;
    HWND cancel = GetDlgItem(ProgressWindowOf(mainWindow), IDCANCEL);
    PostMessageA(cancel, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
    PostMessageA(cancel, WM_KEYUP, VK_ESCAPE, 0xC0010001);
    return Hold(progress, [] { return false; });
}

std::string partUnderWay;  // its path but for the last digit
LRESULT logOffAnswer = TRUE;
long long sizeAtEnd = -1;

// Log-off asked for, then the session ending all the same; the run must stop by itself.
bool EndTheSession(const SplitProgress& progress) {
    if (!InALaterPart(progress)) return true;
    logOffAnswer = SendMessageA(mainWindow, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF);
    SendMessageA(mainWindow, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
    sizeAtEnd = FileSize(partUnderWay + std::to_string(cutPart));
    return true;
}

// The session ends while the run asks whether to go on with part 2, before it exists.
bool EndTheSessionBeforePartTwo(const SplitProgress& progress) {
    if (progress.part != 2 || progress.partDone != 0 || cutPart != 0) return true;
    cutPart = 2;
    SendMessageA(mainWindow, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
    return true;
}
}  // namespace

TEST_F(MainWindowTest, TheWindowAnswersThroughALongRunAndItsProgressRisesToTheLastPart) {
    ScratchDir src, out;
    std::string source = src / "large.bin";
    constexpr DWORD kPart = 16u << 20;
    ASSERT_TRUE(MakeSizedFile(source, 3ull * kPart));
    Open();
    TypeAndLeave(IDC_SOURCE_BOX, source, IDC_BROWSE_SOURCE);
    TypeAndLeave(IDC_DEST_BOX, out.path(), IDC_BROWSE_DEST);
    appState.splitSize = kPart;  // large parts, as an accepted custom size leaves them
    ShowPartInfo(window_);

    // From another thread, as another program would, while the progress window is up.
    std::vector<Look> looks;
    std::atomic<bool> stop{false}, stopped{false};
    std::thread watcher([&] {
        for (; !stop; Sleep(20)) {
            HWND progress = ProgressWindowOf(window_);
            if (progress == nullptr) continue;
            Look look{0xFFFFFFFF, 0, 0, 0};
            DWORD_PTR result = 0;
            DWORD start = GetTickCount();
            if (SendMessageTimeoutA(window_, WM_NULL, 0, 0, SMTO_NORMAL, 250, &result)) {
                look.answerMs = GetTickCount() - start;
            }
            char text[64] = "";
            SendMessageTimeoutA(GetDlgItem(progress, IDC_PROGRESS_PART), WM_GETTEXT, sizeof text,
                                reinterpret_cast<LPARAM>(text), SMTO_NORMAL, 250, &result);
            std::sscanf(text, "Part %lu of %lu", &look.part, &look.partCount);
            SendMessageTimeoutA(GetDlgItem(progress, IDC_PROGRESS_BAR), PBM_GETPOS, 0, 0,
                                SMTO_NORMAL, 250, &look.bar);
            if (ProgressWindowOf(window_) == progress) looks.push_back(look);
            lastBar = look.bar, ++lookCount;
        }
        stopped = true;
    });
    splitProgressHook = HoldForALook;
    MessageBoxAnswerer boxes;
    boxes.Then(IDOK);
    Click(IDC_SPLIT);
    splitProgressHook = nullptr;
    stop = true;
    PumpUntil([&] { return stopped.load(); });  // its last look is answered meanwhile
    watcher.join();

    ASSERT_EQ(1u, boxes.Count()) << boxes.Describe();
    EXPECT_EQ(0u, boxes.Last().text.find("File\t : large.bin Split Successfully"));
    std::string seen;
    for (const Look& l : looks) {
        seen += std::to_string(l.answerMs) + " ms, part " + std::to_string(l.part) + " of " +
                std::to_string(l.partCount) + ", bar " + std::to_string(l.bar) + "\n";
    }
    ASSERT_GE(looks.size(), 10u) << seen;
    for (size_t i = 0; i < looks.size(); ++i) {
        EXPECT_LE(looks[i].answerMs, 250u) << "look " << i << " went unanswered\n" << seen;
        EXPECT_EQ(3u, looks[i].partCount) << seen;
        if (i == 0) continue;
        EXPECT_TRUE(looks[i].part >= looks[i - 1].part && looks[i].bar >= looks[i - 1].bar)
            << "look " << i << " went back\n" << seen;
    }
    EXPECT_EQ(3u, looks.back().part) << "the last part was never shown\n" << seen;
    EXPECT_LT(looks.front().bar, looks.back().bar) << "the bar never moved\n" << seen;
    EXPECT_EQ(nullptr, ProgressWindowOf(window_)) << "the progress window outlived the run";
    for (const char* part : {"large.bin.001", "large.bin.002", "large.bin.003"}) {
        EXPECT_EQ(kPart, FileSize(out / part)) << part;
    }
}

TEST_F(MainWindowTest, EscapeInTheMiddleOfAPartStopsAfterTheSliceWithOnlyTheBytesWritten) {
    ScratchDir src, out;
    std::string source = src / "data.bin";
    constexpr DWORD kPart = 8u << 20;
    std::vector<char> bytes = PatternBytes(4 * kPart, 5);
    ASSERT_TRUE(WriteBytes(source, bytes));
    Open();
    TypeAndLeave(IDC_SOURCE_BOX, source, IDC_BROWSE_SOURCE);
    TypeAndLeave(IDC_DEST_BOX, out.path(), IDC_BROWSE_DEST);
    appState.splitSize = kPart;
    ShowPartInfo(window_);

    for (const char* earlier : {"data.bin.bat", "data.bin.sha256"}) WritePattern(out / earlier, 9);
    // Escape once a part after the first is partly written.
    mainWindow = window_, cutPart = 0;
    splitProgressHook = PressEscape;
    MessageBoxAnswerer boxes;
    boxes.Then(IDOK);
    Click(IDC_SPLIT);
    splitProgressHook = nullptr;

    ASSERT_NE(0u, cutPart) << "the run ended before a later part was under way";
    ASSERT_EQ(1u, boxes.Count()) << boxes.Describe();
    EXPECT_EQ("Cancelling File Split", boxes.Last().text);
    EXPECT_EQ(0u, written % kSliceSize) << "the run stopped inside a slice: " << written;

    // The parts before are whole, the cut part holds the bytes written, each equal to
    // the source's; nothing after it and no merge script.
    std::vector<std::string> expected;
    for (DWORD i = 1; i <= cutPart; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "data.bin.%03lu", static_cast<unsigned long>(i));
        expected.push_back(name);
        std::vector<char> part = ReadBytes(out / name);
        EXPECT_EQ(i < cutPart ? kPart : written, part.size()) << name;
        EXPECT_TRUE(std::equal(part.begin(), part.end(), bytes.begin() + (i - 1) * kPart))
            << name << " differs from the source's bytes";
    }
    EXPECT_EQ(expected, ListFiles(out.path()));

    // The form as before, ready for Split again.
    EXPECT_EQ(nullptr, ProgressWindowOf(window_));
    EXPECT_EQ(source, Text(IDC_SOURCE_BOX));
    EXPECT_EQ(kPart, appState.splitSize);
    EXPECT_EQ("Num of Split Parts : 4", Text(IDC_PART_COUNT_TEXT));
    EXPECT_TRUE(IsWindowEnabled(window_));
    EXPECT_FALSE(appState.runActive);

    // Split again, and the session ends in a later part: log-off waits for the run,
    // never when idle, and the part under way is cut back at once.
    EXPECT_TRUE(SendMessageA(window_, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF)) << "idle";
    ScratchDir again;
    TypeAndLeave(IDC_DEST_BOX, again.path(), IDC_BROWSE_DEST);
    partUnderWay = again / "data.bin.00";
    cutPart = 0;
    splitProgressHook = EndTheSession;
    Click(IDC_SPLIT);
    splitProgressHook = nullptr;
    ASSERT_EQ(1u, boxes.Count()) << "nothing was cancelled nor failed: " << boxes.Describe();
    EXPECT_FALSE(logOffAnswer) << "log-off was allowed during the run";
    EXPECT_EQ(static_cast<long long>(written), sizeAtEnd) << "the part as the session ended";
    EXPECT_EQ(expected, ListFiles(again.path()));
    EXPECT_TRUE(SendMessageA(window_, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF)) << "after";

    // The session ends inside the hook's report before part 2: no part 2 is created.
    ScratchDir third;
    TypeAndLeave(IDC_DEST_BOX, third.path(), IDC_BROWSE_DEST);
    cutPart = 0;
    splitProgressHook = EndTheSessionBeforePartTwo;
    Click(IDC_SPLIT);
    splitProgressHook = nullptr;
    ASSERT_EQ(2u, cutPart) << "the run never asked about part 2";
    EXPECT_EQ(1u, boxes.Count()) << boxes.Describe();
    EXPECT_EQ(std::vector<std::string>{"data.bin.001"}, ListFiles(third.path()));
    EXPECT_EQ(kPart, FileSize(third / "data.bin.001"));
}
