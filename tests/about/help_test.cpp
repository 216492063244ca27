// Help: the path formed from the program's folder, the viewer opened on the real
// VELK.chm, and the loader of the HTML Help control. The loader's state lasts for
// the whole process, so the cases that need a fresh loader run in a process of
// their own (the DISABLED_ tests below, started by the tests that follow them).
#include <windows.h>

#include <cstring>
#include <string>

#include "about/about_dialog.h"
#include "about/html_help.h"
#include "core/app_state.h"
#include "gtest/gtest.h"
#include "tests/about/about_test_windows.h"
#include "tests/about/fresh_process.h"
#include "tests/support/message_boxes.h"
#include "tests/support/test_files.h"

namespace {

constexpr char kServerKey[] =
    "Software\\Classes\\CLSID\\{ADB880A6-D8FF-11CF-9377-00AA003B7A11}\\InprocServer32";
constexpr char kViewerTitle[] = "VELK - Tresmal Help";  // the title compiled into VELK.chm
// A library that loads but is not the HTML Help control: it has no entry 14.
constexpr char kOtherLibrary[] = "icmp.dll";

std::string ProgramDirectory() {
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, sizeof(path));
    std::string text(path);
    return text.substr(0, text.rfind('\\'));
}

std::string CurrentDirectory() {
    char path[MAX_PATH];
    GetCurrentDirectoryA(sizeof(path), path);
    return path;
}

// Goes back to the directory it found when it goes.
class InDirectory {
public:
    explicit InDirectory(const std::string& directory) : previous_(CurrentDirectory()) {
        ok_ = SetCurrentDirectoryA(directory.c_str()) != FALSE;
    }
    ~InDirectory() { SetCurrentDirectoryA(previous_.c_str()); }
    bool ok() const { return ok_; }

private:
    std::string previous_;
    bool ok_;
};

BOOL CALLBACK TakeViewer(HWND window, LPARAM param) {
    char className[32] = {};
    GetClassNameA(window, className, sizeof(className));
    if (std::strcmp(className, "HH Parent") != 0) return TRUE;
    *reinterpret_cast<HWND*>(param) = window;
    return FALSE;
}

HWND FindViewer() {
    HWND found = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), TakeViewer, reinterpret_cast<LPARAM>(&found));
    return found;
}

std::string TitleOf(HWND window) {
    char text[128] = {};
    GetWindowTextA(window, text, sizeof(text));
    return text;
}

// The control's class registration (HKEY_CLASSES_ROOT reads it from the machine's
// classes), put back as it was when the object goes.
class ServerRegistration {
public:
    ServerRegistration() {
        HKEY key;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kServerKey, 0, KEY_READ, &key) == ERROR_SUCCESS) {
            char value[MAX_PATH] = {};
            DWORD size = sizeof(value) - 1;
            DWORD type = REG_SZ;
            had_ = RegQueryValueExA(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(value),
                                    &size) == ERROR_SUCCESS;
            original_ = value;
            type_ = type;
            RegCloseKey(key);
        }
    }
    ~ServerRegistration() {
        if (had_) Set(original_, type_);
    }
    static bool Set(const std::string& value, DWORD type = REG_SZ) {
        HKEY key;
        if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kServerKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                            nullptr) != ERROR_SUCCESS) {
            return false;
        }
        LONG result = RegSetValueExA(key, nullptr, 0, type, reinterpret_cast<const BYTE*>(value.c_str()),
                                     static_cast<DWORD>(value.size() + 1));
        RegCloseKey(key);
        return result == ERROR_SUCCESS;
    }
    bool had() const { return had_; }

private:
    bool had_ = false;
    std::string original_;
    DWORD type_ = REG_SZ;
};

std::string SystemPath(const char* name) {
    char path[MAX_PATH];
    UINT length = GetSystemDirectoryA(path, sizeof(path));
    return std::string(path, length) + "\\" + name;
}

// Runs one of the DISABLED_ tests of this file in a fresh process of this program;
// without the help control, under a name for which hhctrl.ocx is not loaded.
int RunInFreshProcess(const char* testName, bool withoutHelpControl = false) {
    std::string filter = std::string("FreshHelpLoader.") + testName;
    if (!withoutHelpControl) return RunTestInFreshProcess(filter);
    return RunTestInFreshProcess(filter, "velk_without_help_control.exe",
                                 {{"DllOverrides", "hhctrl.ocx", ""}});
}

}  // namespace

TEST(HelpPath, IsTheProgramsFolderWithVelkChmWhateverTheCurrentDirectory) {
    for (const char* directory : {"C:\\", "Z:\\tmp"}) {
        InDirectory in(directory);
        ASSERT_TRUE(in.ok()) << directory;
        char path[kPathSize];
        ASSERT_TRUE(FormHelpPath(path, sizeof(path)));
        EXPECT_EQ(ProgramDirectory() + "\\VELK.chm", path) << "started in " << directory;
    }
}

TEST(Help, OpensTheViewerOnVelkChmBesideTheProgramFromAFolderWithoutOne) {
    std::string helpFile = ProgramDirectory() + "\\VELK.chm";
    ASSERT_TRUE(FileExists(helpFile)) << "the build puts VELK.chm beside the programs: " << helpFile;
    ScratchDir withoutHelp;
    TestParent owner;
    MessageBoxAnswerer boxes;
    {
        InDirectory in(withoutHelp.path());
        OpenHelpFile(owner);
    }
    HtmlHelpLoaderState loaded = GetHtmlHelpLoaderState();
    EXPECT_EQ(GetModuleHandleA("hhctrl.ocx"), loaded.module);
    EXPECT_NE(nullptr, loaded.module);
    EXPECT_EQ(GetProcAddress(loaded.module, MAKEINTRESOURCEA(14)), loaded.entry);
    EXPECT_FALSE(loaded.loadFailed);
    HWND viewer = FindViewer();
    ASSERT_NE(nullptr, viewer) << "the viewer did not open " << helpFile;
    EXPECT_EQ(kViewerTitle, TitleOf(viewer));
    EXPECT_EQ(0u, boxes.Count()) << boxes.Describe();
    DestroyWindow(viewer);
}

TEST(HtmlHelpLoader, FindsTheControlThroughItsClassIdBeforeItsName) {
    ServerRegistration registration;
    ASSERT_TRUE(registration.had());
    HMODULE other = LoadLibraryA(kOtherLibrary);
    ASSERT_NE(nullptr, other);
    ASSERT_EQ(nullptr, GetProcAddress(other, MAKEINTRESOURCEA(14))) << kOtherLibrary << " has an entry 14";
    FreeLibrary(other);
    ASSERT_TRUE(ServerRegistration::Set(SystemPath(kOtherLibrary)));
    EXPECT_EQ(0, RunInFreshProcess("DISABLED_LoadsWhatTheRegistryNamesAndAsksForTheEntryAgain"));
}

TEST(HtmlHelpLoader, FallsBackToTheNameWhenTheRegisteredFileIsMissing) {
    ServerRegistration registration;
    ASSERT_TRUE(registration.had());
    ASSERT_TRUE(ServerRegistration::Set("C:\\no-such-folder-for-velk\\hhctrl.ocx"));
    EXPECT_EQ(0, RunInFreshProcess("DISABLED_LoadsTheControlByName"));
}

TEST(HtmlHelpLoader, FailedLoadIsNeverTriedAgain) {
    ServerRegistration registration;
    ASSERT_TRUE(registration.had());
    ASSERT_TRUE(ServerRegistration::Set("C:\\no-such-folder-for-velk\\hhctrl.ocx"));
    // The fresh process runs on a platform without the HTML Help control.
    EXPECT_EQ(0, RunInFreshProcess("DISABLED_FailsOnceAndLoadsNothingLater", true));
}

// ---- Run only by the tests above, each in a process of its own. ----

TEST(FreshHelpLoader, DISABLED_LoadsWhatTheRegistryNamesAndAsksForTheEntryAgain) {
    ASSERT_EQ(nullptr, GetHtmlHelpLoaderState().module);
    EXPECT_EQ(nullptr, HtmlHelpA(nullptr, "C:\\VELK.chm", HH_DISPLAY_TOPIC, 0));
    HtmlHelpLoaderState state = GetHtmlHelpLoaderState();
    EXPECT_EQ(GetModuleHandleA(kOtherLibrary), state.module);
    EXPECT_NE(nullptr, state.module);
    EXPECT_EQ(nullptr, state.entry);
    EXPECT_TRUE(state.loadFailed);
    EXPECT_EQ(nullptr, GetModuleHandleA("hhctrl.ocx")) << "the name is tried only when the registry fails";
    // A loaded library without the entry is asked again, and not loaded again.
    EXPECT_EQ(nullptr, HtmlHelpA(nullptr, "C:\\VELK.chm", HH_DISPLAY_TOPIC, 0));
    EXPECT_EQ(state.module, GetHtmlHelpLoaderState().module);
}

TEST(FreshHelpLoader, DISABLED_LoadsTheControlByName) {
    ASSERT_EQ(nullptr, GetHtmlHelpLoaderState().module);
    HtmlHelpA(nullptr, "C:\\no-such-help-for-velk.chm", HH_DISPLAY_TOPIC, 0);
    HtmlHelpLoaderState state = GetHtmlHelpLoaderState();
    EXPECT_NE(nullptr, state.module);
    EXPECT_EQ(GetModuleHandleA("hhctrl.ocx"), state.module);
    EXPECT_NE(nullptr, state.entry);
    EXPECT_FALSE(state.loadFailed);
}

TEST(FreshHelpLoader, DISABLED_FailsOnceAndLoadsNothingLater) {
    ASSERT_EQ(nullptr, GetModuleHandleA(kOtherLibrary));
    EXPECT_EQ(nullptr, HtmlHelpA(nullptr, "C:\\VELK.chm", HH_DISPLAY_TOPIC, 0));
    HtmlHelpLoaderState state = GetHtmlHelpLoaderState();
    EXPECT_TRUE(state.loadFailed);
    EXPECT_EQ(nullptr, state.module);

    // Now the registry names a library that would load: a second try would load it.
    ASSERT_TRUE(ServerRegistration::Set(SystemPath(kOtherLibrary)));
    EXPECT_EQ(nullptr, HtmlHelpA(nullptr, "C:\\VELK.chm", HH_DISPLAY_TOPIC, 0));
    EXPECT_EQ(nullptr, GetModuleHandleA(kOtherLibrary)) << "the failed load was tried again";
    EXPECT_EQ(nullptr, GetHtmlHelpLoaderState().module);
    // This copy lies alone in its folder: Help says the file is missing.
    MessageBoxAnswerer boxes;
    TestParent owner;
    OpenHelpFile(owner);
    ASSERT_EQ(1u, boxes.Count()) << boxes.Describe();
    EXPECT_EQ("The help file VELK.chm is missing: it belongs in the folder of velk.exe.", boxes.Last().text);
}
