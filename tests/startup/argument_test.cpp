// The argument text cut from the command line, the path it names, the initial
// source, and the settings store that start-up makes.
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "core/app_state.h"
#include "app/ansi_names.h"
#include "app/command_line.h"
#include "app/startup.h"
#include "gtest/gtest.h"
#include "settings/settings_store.h"
#include "tests/support/message_boxes.h"
#include "tests/support/test_files.h"
#include "tests/support/velk_registry.h"

namespace {
bool heapRefusesStores = false;
}  // namespace

// The allocation start-up uses for its store; refuses while a test asks it to.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    if (heapRefusesStores) return nullptr;
    return std::malloc(size ? size : 1);
}

TEST(ArgumentText, IsWhatFollowsTheProgramsNameAndTheBlanksAfterIt) {
    struct Case {
        const char* commandLine;
        const char* arguments;
    };
    const Case cases[] = {
        {"velk.exe C:\\data.zip", "C:\\data.zip"},
        {"\"C:\\Program Files\\velk.exe\" C:\\data.zip", "C:\\data.zip"},
        {"\"C:\\Program Files\\velk.exe\"C:\\data.zip", "C:\\data.zip"},
        {"velk.exe \"C:\\My Files\\data.zip\"", "\"C:\\My Files\\data.zip\""},
        {"velk.exe \t\x01\x1f a  b  ", "a  b  "},
        {"velk.exe", ""},
        {"velk.exe   ", ""},
        {"\"C:\\velk.exe\"", ""},
        {"\"C:\\unclosed quote\\velk.exe a", ""},
        {"C:\\caf\xe9\\velk.exe a", "a"},  // characters above 127 are not blanks
        {"", ""},
    };
    for (const Case& c : cases) {
        EXPECT_STREQ(c.arguments, ArgumentText(c.commandLine)) << "command line [" << c.commandLine << "]";
    }
}

// Where the program does not run with UTF-8, the wide command line tells a
// character that the ANSI one shows as ?.
TEST(SpelledArguments, ANameTheAnsiCodePageLacksGetsTheBoxAndNoArgument) {
    if (GetACP() == CP_UTF8) GTEST_SKIP() << "every name is spelled in UTF-8";
    const wchar_t* wide = ArgumentText(L"\"C:\\Программы\\velk.exe\" \"C:\\Отчёт 2026.zip\"");
    EXPECT_STREQ(L"\"C:\\Отчёт 2026.zip\"", wide);
    MessageBoxAnswerer boxes;
    boxes.Then(IDOK);
    EXPECT_STREQ("", SpelledArguments("\"C:\\????? 2026.zip\"", wide));
    ASSERT_EQ(1u, boxes.Count());
    EXPECT_NE(std::string::npos, boxes.Last().text.find("cannot use on this version of Windows"))
        << boxes.Last().text;
    EXPECT_EQ(static_cast<UINT>(MB_OK | MB_ICONEXCLAMATION), boxes.Last().style());
    EXPECT_STREQ("C:\\caf\xe9.zip", SpelledArguments("C:\\caf\xe9.zip", L"C:\\café.zip"));
    EXPECT_EQ(1u, boxes.Count()) << boxes.Describe();
}

class ArgumentPath : public ::testing::Test {
protected:
    void SetUp() override {
        file = folder / "data file.zip";
        ASSERT_TRUE(WritePattern(file, 1000));
    }
    void TearDown() override { ResetAppState(); }
    std::string Take(const std::string& text) {
        char path[kPathSize];
        std::memset(path, 'x', sizeof path);
        bool taken = PathFromArgument(text.c_str(), path) == ArgumentNames::ExistingPath;
        if (!taken) {
            EXPECT_STREQ("", path) << "for [" << text << "]";
            return "(refused)";
        }
        return path;
    }
    ScratchDir folder;
    std::string file;
};

TEST_F(ArgumentPath, ATextNamingAnExistingFileOrFolderIsThePath) {
    EXPECT_EQ(file, Take(file));
    EXPECT_EQ(folder.path(), Take(folder.path()));
}

TEST_F(ArgumentPath, OnePairOfEnclosingQuotesIsTakenOff) {
    EXPECT_EQ(file, Take("\"" + file + "\""));
    EXPECT_EQ(file, Take("\"" + file + "\"  "));
}

TEST_F(ArgumentPath, AnythingElseThatIsNoExistingPathIsRefused) {
    EXPECT_EQ("(refused)", Take(""));
    EXPECT_EQ("(refused)", Take("\"\""));
    EXPECT_EQ("(refused)", Take("\""));
    EXPECT_EQ("(refused)", Take(file + ".missing"));
    EXPECT_EQ("(refused)", Take("\"" + file));
    EXPECT_EQ("(refused)", Take("\"" + file + "\" \"" + file + "\""));  // two arguments
    EXPECT_EQ("(refused)", Take(file + " " + file));
    EXPECT_EQ("(refused)", Take(std::string(300, 'a')));
    EXPECT_EQ("(refused)", Take(folder.path() + std::string(260, '\\')));  // too long to be a path
}

TEST_F(ArgumentPath, InitialSourceIsTheExistingPathOrEmpty) {
    SetInitialSource(("\"" + file + "\"").c_str());
    EXPECT_STREQ(file.c_str(), appState.sourcePath);
    SetInitialSource("C:\\no such file.zip");
    EXPECT_STREQ("", appState.sourcePath);
    SetInitialSource(file.c_str());
    EXPECT_STREQ(file.c_str(), appState.sourcePath);
    SetInitialSource("");
    EXPECT_STREQ("", appState.sourcePath);
}

TEST_F(CleanVelkKey, StartUpMakesAUsableStoreOnTheHeap) {
    SettingsStore* store = CreateSettingsStore();
    ASSERT_NE(nullptr, store);
    EXPECT_TRUE(store->GetMinToTray());
    EXPECT_EQ(5u, store->mruLimit);
    DestroySettingsStore(store);
}

TEST_F(CleanVelkKey, StartUpStillHasAUsableStoreWhenTheHeapHasNoRoomForIt) {
    heapRefusesStores = true;
    SettingsStore* store = CreateSettingsStore();
    SettingsStore* second = CreateSettingsStore();
    heapRefusesStores = false;
    ASSERT_NE(nullptr, store);
    EXPECT_EQ(nullptr, second) << "the one reserve was handed out twice";
    EXPECT_TRUE(VelkRegistry::KeyExists());
    EXPECT_TRUE(store->GetMinToTray());
    EXPECT_TRUE(store->SetMinToTray(false));
    EXPECT_FALSE(store->GetMinToTray());
    EXPECT_EQ(5u, store->mruLimit);
    EXPECT_EQ(1u, store->mruDefault);
    DestroySettingsStore(store);

    // Ended, the reserve serves the next run again.
    heapRefusesStores = true;
    store = CreateSettingsStore();
    heapRefusesStores = false;
    ASSERT_NE(nullptr, store);
    DestroySettingsStore(store);
}
