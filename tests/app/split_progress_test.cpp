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
#include "tests/app/ui_script.h"
#include "tests/support/message_boxes.h"
#include "tests/support/test_files.h"

namespace {
struct ProgressSearch {
    HWND owner;
    HWND found;
};

// Told by its bar, without a message to the window: another thread may ask while
// the window's own thread is busy.
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

// The progress window of the run of `owner` (a window of thread `thread`), or null.
HWND ProgressWindowOf(HWND owner, DWORD thread) {
    ProgressSearch search{owner, nullptr};
    EnumThreadWindows(thread, MatchProgress, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// What another thread sees of the run at one moment.
struct Sample {
    bool answered;
    DWORD answerMs;  // of the main window to WM_NULL
    unsigned long part, partCount;
    LRESULT bar;
};

// From its own thread, as another program would: while the run's progress window is
// up, asks the main window for a WM_NULL answer and reads the progress shown.
class RunWatcher {
public:
    explicit RunWatcher(HWND main) : main_(main), thread_(GetWindowThreadProcessId(main, nullptr)) {
        worker_ = std::thread([this] { Watch(); });
    }
    // Stops the watch; the caller's thread keeps answering until it has stopped.
    const std::vector<Sample>& Finish() {
        stop_ = true;
        PumpUntil([this] { return done_.load(); }, 10000);
        worker_.join();
        return samples_;
    }

private:
    void Watch() {
        while (!stop_) {
            HWND progress = ProgressWindowOf(main_, thread_);
            if (progress == nullptr) {
                Sleep(5);
                continue;
            }
            Sample sample{};
            DWORD_PTR result = 0;
            DWORD start = GetTickCount();
            sample.answered = SendMessageTimeoutA(main_, WM_NULL, 0, 0, SMTO_NORMAL, 250,
                                                  &result) != 0;
            sample.answerMs = GetTickCount() - start;
            char text[64] = "";
            SendMessageTimeoutA(GetDlgItem(progress, IDC_PROGRESS_PART), WM_GETTEXT, sizeof text,
                                reinterpret_cast<LPARAM>(text), SMTO_NORMAL, 250, &result);
            if (std::sscanf(text, "Part %lu of %lu", &sample.part, &sample.partCount) != 2) {
                sample.part = sample.partCount = 0;
            }
            SendMessageTimeoutA(GetDlgItem(progress, IDC_PROGRESS_BAR), PBM_GETPOS, 0, 0,
                                SMTO_NORMAL, 250, &result);
            sample.bar = static_cast<LRESULT>(result);
            // The window may have gone meanwhile: what it showed then is no sample.
            if (ProgressWindowOf(main_, thread_) == progress) samples_.push_back(sample);
            Sleep(20);
        }
        done_ = true;
    }

    HWND main_;
    DWORD thread_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> done_{false};
    std::vector<Sample> samples_;
    std::thread worker_;
};

bool SameBytes(const std::vector<char>& source, size_t offset, const std::vector<char>& part) {
    return offset + part.size() <= source.size() &&
           std::equal(part.begin(), part.end(), source.begin() + offset);
}
}  // namespace

TEST_F(MainWindowTest, TheWindowAnswersThroughALongRunAndItsProgressRisesToTheLastPart) {
    ScratchDir src, out;
    std::string source = src / "large.bin";
    constexpr DWORD kPart = 100u << 20;
    ASSERT_TRUE(MakeSizedFile(source, 3ull * kPart));
    Open();
    TypeAndLeave(IDC_SOURCE_BOX, source, IDC_BROWSE_SOURCE);
    TypeAndLeave(IDC_DEST_BOX, out.path(), IDC_BROWSE_DEST);
    // Large parts, as an accepted custom size leaves them.
    appState.splitSize = kPart;
    ShowPartInfo(window_);
    ASSERT_EQ(3u, appState.partCount);

    MessageBoxAnswerer boxes;
    boxes.Then(IDOK);
    RunWatcher watcher(window_);
    Click(IDC_SPLIT);
    std::vector<Sample> samples = watcher.Finish();

    ASSERT_EQ(1u, boxes.Count()) << boxes.Describe();
    EXPECT_EQ(0u, boxes.Last().text.find("File\t : large.bin Split Successfully"))
        << boxes.Describe();
    std::string seen;
    for (const Sample& s : samples) {
        seen += std::to_string(s.answerMs) + " ms, part " + std::to_string(s.part) + " of " +
                std::to_string(s.partCount) + ", bar " + std::to_string(s.bar) + "\n";
    }
    for (size_t i = 0; i < samples.size(); ++i) {
        EXPECT_TRUE(samples[i].answered && samples[i].answerMs <= 250)
            << "look " << i << ": the window did not answer within 250 ms\n" << seen;
    }
    ASSERT_GE(samples.size(), 10u) << "too few looks at the run to tell anything\n" << seen;
    for (size_t i = 0; i < samples.size(); ++i) {
        EXPECT_EQ(3u, samples[i].partCount) << seen;
        if (i == 0) continue;
        EXPECT_GE(samples[i].part, samples[i - 1].part) << seen;
        EXPECT_GE(samples[i].bar, samples[i - 1].bar) << seen;
    }
    EXPECT_EQ(3u, samples.back().part) << "the last part was never shown\n" << seen;
    EXPECT_LT(samples.front().bar, samples.back().bar) << "the bar never moved\n" << seen;
    EXPECT_EQ(nullptr, ProgressWindowOf(window_, GetCurrentThreadId()))
        << "the progress window outlived the run";
    for (const char* part : {"large.bin.001", "large.bin.002", "large.bin.003"}) {
        EXPECT_EQ(kPart, FileSize(out / part)) << part;
    }
}

TEST_F(MainWindowTest, EscapeInTheMiddleOfAPartStopsAfterTheSliceWithOnlyTheBytesWritten) {
    ScratchDir src, out;
    std::string source = src / "data.bin";
    constexpr DWORD kPart = 32u << 20;
    std::vector<char> bytes = PatternBytes(4 * kPart, 5);
    ASSERT_TRUE(WriteBytes(source, bytes));
    Open();
    TypeAndLeave(IDC_SOURCE_BOX, source, IDC_BROWSE_SOURCE);
    TypeAndLeave(IDC_DEST_BOX, out.path(), IDC_BROWSE_DEST);
    appState.splitSize = kPart;
    ShowPartInfo(window_);
    ASSERT_EQ(4u, appState.partCount);

    // Escape on the progress window once a part after the first is partly written;
    // the run sees it before its next slice.
    DWORD cutPart = 0, written = 0;
    UiScript script(60000);
    script.When(
        "a part after the first partly written",
        [&] {
            return partWriter != nullptr && sourceReader != nullptr &&
                   sourceReader->offset - partWriter->offset >= kPart && partWriter->offset > 0 &&
                   partWriter->offset < partWriter->size;
        },
        [&] {
            written = partWriter->offset;
            cutPart = (sourceReader->offset - written) / kPart + 1;
            HWND cancel = GetDlgItem(ProgressWindowOf(window_, GetCurrentThreadId()), IDCANCEL);
            PostMessageA(cancel, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
            PostMessageA(cancel, WM_KEYUP, VK_ESCAPE, 0xC0010001);
        });
    MessageBoxAnswerer boxes;
    boxes.Then(IDOK);
    Click(IDC_SPLIT);

    ASSERT_TRUE(script.Finished()) << "the run ended before a later part was under way";
    ASSERT_EQ(1u, boxes.Count()) << boxes.Describe();
    EXPECT_EQ("Cancelling File Split", boxes.Last().text);
    EXPECT_EQ(static_cast<UINT>(MB_OK | MB_ICONWARNING), boxes.Last().style());
    ASSERT_GE(cutPart, 2u);
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
        EXPECT_TRUE(SameBytes(bytes, (i - 1) * static_cast<size_t>(kPart), part))
            << name << " differs from the source's bytes";
    }
    EXPECT_EQ(expected, ListFiles(out.path()));

    // The form as before, ready for Split again.
    EXPECT_EQ(nullptr, ProgressWindowOf(window_, GetCurrentThreadId()));
    EXPECT_EQ(source, appState.sourcePath);
    EXPECT_EQ(source, Text(IDC_SOURCE_BOX));
    EXPECT_EQ(kPart, appState.splitSize);
    EXPECT_EQ("Num of Split Parts : 4", Text(IDC_PART_COUNT_TEXT));
    EXPECT_TRUE(IsWindowEnabled(window_));
    EXPECT_FALSE(appState.runActive);
}
