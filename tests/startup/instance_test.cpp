// The real program in its own processes: the first start, later starts handing
// their argument over, and messages that only look like a hand-off.
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "core/app_state.h"
#include "gtest/gtest.h"
#include "res/resource.h"
#include "settings/shell_integration.h"
#include "tests/prefs/shell_entry.h"
#include "tests/startup/tray_window.h"
#include "tests/startup/velk_process.h"
#include "tests/support/message_boxes.h"
#include "tests/support/test_drives.h"
#include "tests/support/test_files.h"
#include "tests/support/unix_command.h"

namespace {

class VelkInstances : public VelkProcessTest {
protected:
    void SetUp() override {
        VelkProcessTest::SetUp();
        ASSERT_TRUE(MainWindows().empty()) << "a main window of an earlier run is still there";
        file = folder / "data file.zip";
        other = folder / "other.zip";
        ASSERT_TRUE(WritePattern(file, 3000000));
        ASSERT_TRUE(WritePattern(other, 1000));
    }
    static std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

    // A later start with the argument text: it must end with 0 and leave the one
    // window of the first instance.
    void LaterStart(const std::string& arguments) {
        VelkProcess* later = Start(arguments);
        ASSERT_NE(nullptr, later);
        EXPECT_EQ(0, WaitForExit(later)) << "the later start with [" << arguments << "]";
        EXPECT_EQ(1u, MainWindows().size());
    }
    // The receiver answers before it comes forward and loads: wait until it has.
    void ExpectSettles(HWND window, const std::string& look, const std::string& source) {
        PumpUntil([&] { return WindowLook(window) == look && ControlText(window, IDC_SOURCE_BOX) == source; });
        EXPECT_EQ(look, WindowLook(window));
        EXPECT_EQ(source, ControlText(window, IDC_SOURCE_BOX));
    }

    ScratchDir folder;
    std::string file;
    std::string other;
};

int strangerCopies = 0;
LRESULT CALLBACK CountingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COPYDATA) ++strangerCopies;
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

// Any process that can read the program could load it and write into a section
// that every instance shares, in every session and at every integrity level.
TEST(VelkExecutable, SharesNoWritableSectionWithOtherProcesses) {
    std::vector<char> image = ReadBytes(VelkExePath());
    ASSERT_GT(image.size(), 0x200u) << VelkExePath();
    LONG peOffset;
    std::memcpy(&peOffset, &image[0x3c], sizeof peOffset);
    IMAGE_FILE_HEADER header;
    std::memcpy(&header, &image[peOffset + 4], sizeof header);
    size_t sections = peOffset + 4 + sizeof header + header.SizeOfOptionalHeader;
    for (int i = 0; i < header.NumberOfSections; ++i) {
        IMAGE_SECTION_HEADER section;
        std::memcpy(&section, &image[sections + i * sizeof section], sizeof section);
        EXPECT_FALSE((section.Characteristics & IMAGE_SCN_MEM_SHARED) &&
                     (section.Characteristics & IMAGE_SCN_MEM_WRITE))
            << std::string(reinterpret_cast<const char*>(section.Name), 8) << " " << std::hex
            << section.Characteristics;
    }
}

TEST_F(VelkInstances, AFirstStartWithAQuotedPathOpensWithItLoaded) {
    VelkProcess* first = StartFirst(Quoted(file));
    ASSERT_NE(nullptr, first);
    EXPECT_EQ(file, ControlText(first->window, IDC_SOURCE_BOX));
    EXPECT_EQ("File Size : 2.86 MB", ControlText(first->window, IDC_FILE_SIZE_TEXT));
    EXPECT_EQ("visible, no icon", WindowLook(first->window));
}

TEST_F(VelkInstances, AFirstStartWithoutAnExistingPathOpensEmpty) {
    VelkProcess* first = StartFirst(Quoted(file) + " " + Quoted(other));
    ASSERT_NE(nullptr, first);
    EXPECT_EQ("", ControlText(first->window, IDC_SOURCE_BOX));
}

TEST_F(VelkInstances, ALaterStartLoadsItsFileIntoTheNormalWindow) {
    VelkProcess* first = StartFirst(file);
    ASSERT_NE(nullptr, first);
    LaterStart(Quoted(other));
    ExpectSettles(first->window, "visible, no icon", other);
}

TEST_F(VelkInstances, ALaterStartRestoresTheMinimisedWindowAndLoadsItsFile) {
    ASSERT_TRUE(VelkRegistry::WriteDword("MinToSysTray", 0));
    VelkProcess* first = StartFirst(file);
    ASSERT_NE(nullptr, first);
    SendMessageA(first->window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    ASSERT_EQ("visible, minimised, no icon", WindowLook(first->window));
    LaterStart(Quoted(other));
    ExpectSettles(first->window, "visible, no icon", other);
}

TEST_F(VelkInstances, ALaterStartBringsTheWindowOutOfTheTrayAndLoadsItsFile) {
    VelkProcess* first = StartFirst(file);
    ASSERT_NE(nullptr, first);
    SendMessageA(first->window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    ASSERT_EQ("hidden, icon", WindowLook(first->window));
    LaterStart(Quoted(other));
    ExpectSettles(first->window, "visible, no icon", other);
}

TEST_F(VelkInstances, ALaterStartWithoutArgumentsOnlyBringsTheWindowForward) {
    VelkProcess* first = StartFirst(file);
    ASSERT_NE(nullptr, first);
    SendMessageA(first->window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    LaterStart("");
    ExpectSettles(first->window, "visible, no icon", file);
    EXPECT_EQ("File Size : 2.86 MB", ControlText(first->window, IDC_FILE_SIZE_TEXT));
}

TEST_F(VelkInstances, SeveralStartsAtTheSameMomentLeaveExactlyOneWindowWithALaterStartsFile) {
    // As Explorer opens six selected files: the later starts wait for the window.
    std::vector<VelkProcess*> started;
    std::vector<std::string> files;
    for (int i = 0; i < 6; ++i) {
        files.push_back(folder / ("part " + std::to_string(i) + ".zip"));
        ASSERT_TRUE(WritePattern(files.back(), 1000));
        VelkProcess* process = Start(Quoted(files.back()));
        ASSERT_NE(nullptr, process);
        started.push_back(process);
    }
    // All but the first instance end on their own, each with 0.
    std::vector<VelkProcess*> running = started;
    int ended = 0;
    while (running.size() > 1) {
        std::vector<HANDLE> handles;
        for (VelkProcess* process : running) handles.push_back(process->info.hProcess);
        DWORD which = WaitForMultipleObjects(static_cast<DWORD>(handles.size()), handles.data(), FALSE, 20000);
        ASSERT_LT(which, WAIT_OBJECT_0 + handles.size()) << "more than one start kept running";
        EXPECT_EQ(0, WaitForExit(running[which - WAIT_OBJECT_0]));
        running.erase(running.begin() + (which - WAIT_OBJECT_0));
        ++ended;
    }
    VelkProcess* first = running.front();
    EXPECT_EQ(5, ended);
    ASSERT_NE(nullptr, WaitForWindow(first));
    EXPECT_TRUE(Alive(first));
    EXPECT_EQ(1u, MainWindows().size());
    std::string own = files[std::find(started.begin(), started.end(), first) - started.begin()];
    std::string shown = ControlText(first->window, IDC_SOURCE_BOX);
    EXPECT_TRUE(shown != own && std::count(files.begin(), files.end(), shown) == 1)
        << "expected the file of a later start, not " << own << "; came [" << shown << "]";

    // The later starts kept no claim: with the first one gone, the next start is a
    // first instance again.
    TerminateProcess(first->info.hProcess, 1);
    ASSERT_EQ(1, WaitForExit(first));
    VelkProcess* next = StartFirst("");
    ASSERT_NE(nullptr, next);
    EXPECT_EQ(1u, MainWindows().size());
}

// Another process maps the program and writes into every writable word of its image
// what an ended instance of this session would leave (a count of 0 and the session's
// id, in either order): starts neither wait nor hand off because of it.
TEST_F(VelkInstances, AnotherProcessMappingTheProgramAndWritingItsDataChangesNoStart) {
    DWORD session = 0;
    ProcessIdToSessionId(GetCurrentProcessId(), &session);
    HMODULE image = LoadLibraryExA(VelkExePath().c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES);
    ASSERT_NE(nullptr, image);
    auto* base = reinterpret_cast<BYTE*>(image);
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
    for (int round = 0; round < 2; ++round) {
        IMAGE_SECTION_HEADER* section = IMAGE_FIRST_SECTION(nt);
        for (int i = 0; i < nt->FileHeader.NumberOfSections; ++i, ++section) {
            if (!(section->Characteristics & IMAGE_SCN_MEM_WRITE)) continue;
            auto* words = reinterpret_cast<LONG*>(base + section->VirtualAddress);
            for (DWORD w = 0; w < section->Misc.VirtualSize / sizeof(LONG); ++w) {
                words[w] = w % 2 == static_cast<DWORD>(round) ? 0 : static_cast<LONG>(session);
            }
        }
        DWORD started = GetTickCount();
        VelkProcess* process = StartFirst(Quoted(file));
        DWORD took = GetTickCount() - started;
        ASSERT_NE(nullptr, process) << "round " << round;
        EXPECT_LT(took, 4000u) << "round " << round << " waited for a window that was never to come";
        EXPECT_EQ(file, ControlText(process->window, IDC_SOURCE_BOX));
        LaterStart(Quoted(other));
        ExpectSettles(process->window, "visible, no icon", other);
        TerminateProcess(process->info.hProcess, 1);
        ASSERT_EQ(1, WaitForExit(process));
    }
    FreeLibrary(image);
}

TEST_F(VelkInstances, ALaterStartPassesAStrangerWindowOfTheSameTitleOnTop) {
    VelkProcess* first = StartFirst("");
    ASSERT_NE(nullptr, first);
    // A dialog of another program with the title and a minimise box, above the
    // main window; it counts what it is sent.
    HWND stranger = CreateWindowExA(0, "#32770", kWindowTitle, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200, 100,
                                    nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(nullptr, stranger);
    strangerCopies = 0;
    SetWindowLongPtrA(stranger, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(CountingProc));
    SetWindowPos(stranger, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    VelkProcess* later = Start(Quoted(file));
    ASSERT_NE(nullptr, later);
    EXPECT_TRUE(PumpUntil([&] { return WaitForSingleObject(later->info.hProcess, 0) == WAIT_OBJECT_0; }, 20000));
    DestroyWindow(stranger);
    EXPECT_EQ(0, strangerCopies);
    EXPECT_EQ(0, WaitForExit(later));
    ExpectSettles(first->window, "visible, no icon", file);
}

TEST_F(VelkInstances, ALaterStartEndsAtOnceWhileItsFileKeepsABoxOfTheRunningOneUp) {
    VelkProcess* first = StartFirst("");
    ASSERT_NE(nullptr, first);
    VelkProcess* later = Start(Quoted(folder.path()));  // a folder: "Error Opening File"
    ASSERT_NE(nullptr, later);
    HWND box = WaitForMessageBox(first);
    ASSERT_NE(nullptr, box) << "the running instance showed no box";
    DWORD seen = GetTickCount();
    EXPECT_EQ(0, WaitForExit(later, 1000)) << "still running a second after the box came, " << GetTickCount() - seen
                                           << " ms";
    EXPECT_EQ("Error Opening File", ReadMessageBox(box).text);
    PressBoxButton(box, IDOK);
}

TEST_F(VelkInstances, HelpOpensTheFileBesideTheProgramWhereverItWasStarted) {
    VelkProcess* first = Start("", folder.path());  // a current directory without VELK.chm
    ASSERT_NE(nullptr, first);
    ASSERT_NE(nullptr, WaitForWindow(first));
    PostMessageA(first->window, WM_COMMAND, MAKEWPARAM(IDC_HELPBUTTON, BN_CLICKED), 0);
    HWND viewer = nullptr;
    EXPECT_TRUE(PumpUntil([&] {
        viewer = FindWindowA("HH Parent", "VELK - Tresmal Help");  // the title compiled into VELK.chm
        return viewer != nullptr;
    }, 20000)) << "no help viewer on " << VelkExePath() << "'s VELK.chm";
}

TEST_F(VelkInstances, MessagesThatOnlyLookLikeAHandOffChangeNothing) {
    VelkProcess* first = StartFirst(file);
    ASSERT_NE(nullptr, first);
    SendMessageA(first->window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    ASSERT_EQ("hidden, icon", WindowLook(first->window));

    auto send = [&](ULONG_PTR tag, const void* bytes, DWORD size) {
        COPYDATASTRUCT data{};
        data.dwData = tag;
        data.cbData = size;
        data.lpData = const_cast<void*>(bytes);
        DWORD_PTR answer;
        SendMessageTimeoutA(first->window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data), SMTO_NORMAL,
                            10000, &answer);
    };
    send(kHandOffTag, other.data(), static_cast<DWORD>(other.size()));  // no terminator
    EXPECT_TRUE(Alive(first));
    EXPECT_EQ("hidden, icon", WindowLook(first->window)) << "no terminator";
    send(kHandOffTag, other.c_str(), 0);
    EXPECT_EQ("hidden, icon", WindowLook(first->window)) << "cbData 0";
    send(0x87654321, other.c_str(), static_cast<DWORD>(other.size() + 1));
    EXPECT_EQ("hidden, icon", WindowLook(first->window)) << "wrong tag";
    EXPECT_TRUE(Alive(first));
    EXPECT_EQ(file, ControlText(first->window, IDC_SOURCE_BOX));

    // Well formed, but longer than any path: the window comes back, the file stays.
    std::string tooLong = folder / std::string(300, 'a');
    send(kHandOffTag, tooLong.c_str(), static_cast<DWORD>(tooLong.size() + 1));
    EXPECT_TRUE(Alive(first));
    EXPECT_EQ("visible, no icon", WindowLook(first->window)) << "too long";
    EXPECT_EQ(file, ControlText(first->window, IDC_SOURCE_BOX));
    EXPECT_EQ("File Size : 2.86 MB", ControlText(first->window, IDC_FILE_SIZE_TEXT));
}

TEST_F(VelkInstances, TheTrayIconBringsTheRealWindowBack) {
    VelkProcess* first = StartFirst("");
    ASSERT_NE(nullptr, first);
    SendMessageA(first->window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    EXPECT_EQ("hidden, icon", WindowLook(first->window));
    // As the shell reports a double-click: down, up, double-click, up.
    for (UINT mouse : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK}) {
        SendMessageA(first->window, kTrayMessage, IDI_VELK, mouse);
    }
    EXPECT_EQ("visible, icon", WindowLook(first->window)) << "after the double-click";
    SendMessageA(first->window, kTrayMessage, IDI_VELK, WM_LBUTTONUP);
    EXPECT_EQ("visible, no icon", WindowLook(first->window));
}

TEST_F(VelkInstances, ARestartedTaskbarGetsTheRealWindowsIconBack) {
    VelkProcess* first = StartFirst("");
    ASSERT_NE(nullptr, first);
    SendMessageA(first->window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    ASSERT_EQ("hidden, icon", WindowLook(first->window));
    ForgetTrayIcon(first->window);  // the shell restarted and lost it
    SendMessageA(first->window, RegisterWindowMessageA("TaskbarCreated"), 0, 0);
    EXPECT_EQ("hidden, icon", WindowLook(first->window));
}

TEST_F(VelkInstances, AStartWritesExplorersEntryOnlyWhenMissingOrStaleAndNeverForAPassingCopy) {
    const std::string own = Quoted(VelkExePath()) + " \"%1\"";
    auto startAndEnd = [&](const std::string& commandLine) {
        VelkProcess* process = StartCommandLine(commandLine);
        ASSERT_NE(nullptr, process);
        ASSERT_NE(nullptr, WaitForWindow(process));
        TerminateProcess(process->info.hProcess, 1);
        ASSERT_EQ(1, WaitForExit(process));
    };
    // A copy in the temporary folder, as a zip viewer runs it: it writes no entry,
    // and it leaves the installed copy's entry alone.
    std::string passing = folder / "velk.exe";
    ASSERT_TRUE(CopyFileA(VelkExePath().c_str(), passing.c_str(), FALSE));
    startAndEnd(Quoted(passing));
    EXPECT_EQ("(no such key)", ShellEntryText("command"));
    startAndEnd(Quoted(VelkExePath()));
    EXPECT_EQ(kShellVerbText, ShellEntryText());
    EXPECT_EQ(own, ShellEntryText("command"));
    startAndEnd(Quoted(passing));
    EXPECT_EQ(own, ShellEntryText("command")) << "taken over by a passing copy";

    // An entry whose program is gone is written anew.
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueA(HKEY_CURRENT_USER, (std::string(kShellVerbKey) + "\\command").c_str(),
                                          REG_SZ, "\"C:\\gone\\velk.exe\" \"%1\"", 0));
    startAndEnd(Quoted(VelkExePath()));
    EXPECT_EQ(own, ShellEntryText("command"));

    ASSERT_TRUE(VelkRegistry::WriteDword("ShlRtClkEn", 0));
    ASSERT_NE(nullptr, StartFirst(""));
    EXPECT_EQ("(no such key)", ShellEntryText());
}

TEST_F(VelkInstances, ACopyStartedFromARemovableDriveWritesNoExplorerEntry) {
    SKIP_WITHOUT_FLOPPY();
    FloppyDrive floppy;
    // The test build carries its debug information and no longer fits a floppy; the
    // copy users carry is stripped, as this one.
    const std::string strip = sizeof(void*) == 4 ? "i686-w64-mingw32-strip" : "x86_64-w64-mingw32-strip";
    ASSERT_EQ(0, RunUnixCommand(strip + " -o '" + UnixPathOf("A:\\velk.exe") + "' '" +
                                UnixPathOf(VelkExePath()) + "'"));
    VelkProcess* process = StartCommandLine("A:\\velk.exe");
    ASSERT_NE(nullptr, process);
    ASSERT_NE(nullptr, WaitForWindow(process));
    EXPECT_EQ("(no such key)", ShellEntryText("command"));
    TerminateProcess(process->info.hProcess, 1);
    ASSERT_EQ(1, WaitForExit(process));
}

TEST_F(VelkInstances, ExplorersEntryHandsTheFileToTheRunningInstanceOrStartsWithIt) {
    // The registered command with %1 replaced by a path with blanks, as Explorer runs it.
    auto runEntry = [&] {
        std::string line = ShellEntryText("command");
        std::size_t at = line.find("%1");
        return at == std::string::npos ? nullptr : StartCommandLine(line.replace(at, 2, file));
    };
    VelkProcess* first = StartFirst("");
    ASSERT_NE(nullptr, first);
    VelkProcess* later = runEntry();
    ASSERT_NE(nullptr, later) << ShellEntryText("command");
    EXPECT_EQ(0, WaitForExit(later));
    ExpectSettles(first->window, "visible, no icon", file);
    TerminateProcess(first->info.hProcess, 1);
    ASSERT_EQ(1, WaitForExit(first));

    VelkProcess* started = runEntry();
    ASSERT_NE(nullptr, started);
    ASSERT_NE(nullptr, WaitForWindow(started));
    EXPECT_EQ(file, ControlText(started->window, IDC_SOURCE_BOX));
}

TEST_F(VelkInstances, HandOffsDuringARunWaitBehindItsPromptAndTheLastLoadsAfterIt) {
    SKIP_WITHOUT_FLOPPY();
    FloppyDrive floppy;
    ASSERT_TRUE(VelkRegistry::WriteDword("UseMRUD", 1));  // the floppy as the newest destination
    ASSERT_TRUE(VelkRegistry::WriteText("MRUD1", FloppyDrive::kRoot));
    VelkProcess* first = StartFirst(Quoted(file));
    ASSERT_NE(nullptr, first);
    PostMessageA(first->window, WM_COMMAND, MAKEWPARAM(IDC_SPLIT, BN_CLICKED), 0);
    HWND prompt = WaitForMessageBox(first);
    ASSERT_NE(nullptr, prompt) << "no insert-disk prompt";

    // The prompt is titled like the main window and lies above it.
    for (const std::string& handed : {file, other}) {
        VelkProcess* later = Start(Quoted(handed));
        ASSERT_NE(nullptr, later);
        EXPECT_EQ(0, WaitForExit(later, 10000)) << handed;
    }
    EXPECT_EQ(prompt, GetForegroundWindow()) << "the prompt stays on top";
    EXPECT_EQ(file, ControlText(first->window, IDC_SOURCE_BOX));

    PressBoxButton(prompt, IDCANCEL);  // then "Cancelling File Split"
    ASSERT_TRUE(PumpUntil([&] { return !IsWindowVisible(prompt); }));
    HWND cancelled = WaitForMessageBox(first);
    ASSERT_NE(nullptr, cancelled);
    PressBoxButton(cancelled, IDOK);
    EXPECT_TRUE(PumpUntil([&] { return ControlText(first->window, IDC_SOURCE_BOX) == other; }, 20000))
        << ControlText(first->window, IDC_SOURCE_BOX);
}

TEST_F(VelkInstances, ALaterStartThatGetsNoAnswerSaysSoAndEnds) {
    VelkProcess* first = StartFirst("");
    ASSERT_NE(nullptr, first);
    SuspendThread(first->info.hThread);  // hung: its window takes no message any more
    DWORD started = GetTickCount();
    VelkProcess* later = Start(Quoted(file));
    ASSERT_NE(nullptr, later);
    HWND box = WaitForMessageBox(later, 30000);
    ASSERT_NE(nullptr, box) << "the later start showed no box";
    EXPECT_LT(GetTickCount() - started, 15000u);
    SeenBox seen = ReadMessageBox(box);
    EXPECT_EQ("VELK is already running but does not answer.\n"
              "Try again once it responds, or end it and start VELK again.",
              seen.text);
    EXPECT_EQ(kWindowTitle, seen.caption);
    PressBoxButton(box, IDOK);
    EXPECT_EQ(0, WaitForExit(later, 10000));
    ResumeThread(first->info.hThread);
}
