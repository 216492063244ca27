// Paths that pass 259 bytes in UTF-8 but not 259 characters, through every route
// into the main window, in a program that runs with UTF-8 as velk.exe does: each
// is split exactly, or refused with its box before anything is written.
#include <windows.h>
#include <shlwapi.h>

#include <cstring>
#include <string>

#include "core/app_state.h"
#include "res/resource.h"
#include "settings/settings_store.h"
#include "tests/app/main_window_fixture.h"
#include "tests/support/message_boxes.h"
#include "tests/support/test_files.h"

namespace {
constexpr char kTooLong[] = "longer than Windows allows (259 characters), so VELK cannot use it";
constexpr char kNamesTooLong[] = "The files of this split would have paths longer than Windows allows";

enum Route { ByFileBox, ByDestinationBox, ByDrop, ByHandOff };
enum Outcome { Splits, PathRefused, NamesRefused };

// start, then as many `unit` as bring it with `end` to `characters` characters.
std::string Grown(const std::string& start, const char* unit, std::size_t characters,
                  const std::string& end = "") {
    std::string path = start;
    while (PathCharacters((path + unit + end).c_str()) <= characters) path += unit;
    return path + end;
}

// Folders below start made one level at a time (a level of at most 40 units, as a
// Linux file name takes at most 255 bytes), to about `characters` characters.
std::string MadeFolders(const std::string& start, const char* unit, std::size_t characters) {
    std::string path = start;
    for (int inLevel = 0; PathCharacters((path + "\\" + unit).c_str()) <= characters; ++inLevel) {
        if (inLevel == 40) {
            if (!CreateDirectoryA(path.c_str(), nullptr)) return "(not made) " + path;
            path += "\\";
            inLevel = 0;
        }
        path += unit;
    }
    return CreateDirectoryA(path.c_str(), nullptr) ? path : "(not made) " + path;
}

class Utf8LongPaths : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        if (GetACP() != CP_UTF8) GTEST_SKIP() << "the ANSI code page is " << GetACP() << ", not UTF-8";
    }
    void HandOffText(const std::string& text) {
        COPYDATASTRUCT data{kHandOffTag, static_cast<DWORD>(text.size() + 1),
                            const_cast<char*>(text.c_str())};
        SendMessageA(window_, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
        Settle();
    }
    ScratchDir scratch_;
};
}  // namespace

TEST_F(Utf8LongPaths, EveryRouteTakesThePathWholeOrRefusesItWithItsBox) {
    // Folders of about 200 characters (about 400 and 600 bytes).
    const std::string cyrillic = MadeFolders(scratch_ / "Отчёты ", "ж", 200);
    const std::string chinese = MadeFolders(scratch_ / "数据 ", "数", 200);
    for (const std::string& folder : {cyrillic, chinese}) ASSERT_TRUE(PathIsDirectoryA(folder.c_str())) << folder;
    const std::string ascii = scratch_ / "data.bin";
    // 259 characters exactly: taken whole, but its parts' names would be longer.
    const std::string full = Grown(cyrillic + "\\", "ф", 259, ".bin");
    ASSERT_EQ(259u, PathCharacters(full.c_str()));
    std::vector<std::string> sources = {ascii, cyrillic + "\\Отчёт 2026.zip", chinese + "\\数据.bin", full};
    for (const std::string& source : sources) ASSERT_TRUE(WritePattern(source, 600000)) << source;

    struct Row {
        Route route;
        std::string path;  // the source, or for DestinationBox the destination
        Outcome outcome;
    } rows[] = {
        {ByFileBox, sources[1], Splits},
        {ByFileBox, sources[2], Splits},
        {ByFileBox, full, NamesRefused},
        {ByFileBox, full + ".bak", PathRefused},  // its first 259 characters name a file
        {ByDestinationBox, cyrillic, Splits},
        {ByDestinationBox, chinese, Splits},
        {ByDestinationBox, Grown(chinese + "\\", "数", 260), PathRefused},
        {ByDrop, sources[2], Splits},
        {ByDrop, full + ".bak", PathRefused},
        {ByHandOff, "\"" + sources[1] + "\"", Splits},
        {ByHandOff, full + ".bak", PathRefused},
    };
    int index = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE("row " + std::to_string(index++) + ": " + row.path);
        Open();
        ChooseSize(0);  // 256 KB: three parts
        std::string source = row.route == ByDestinationBox ? ascii : sources[1];
        std::string dest = row.route == ByDestinationBox ? row.path : cyrillic;
        MessageBoxAnswerer boxes;
        switch (row.route) {
            case ByFileBox:
                TypeAndLeave(IDC_SOURCE_BOX, row.path, IDC_BROWSE_SOURCE);
                source = row.path;
                dest = source.substr(0, source.rfind('\\'));
                break;
            case ByDrop:
                Drop({row.path});
                source = row.path;
                dest = source.substr(0, source.rfind('\\'));
                break;
            case ByHandOff:
                HandOffText(row.path);
                source = sources[1];
                break;
            case ByDestinationBox:
                TypeAndLeave(IDC_SOURCE_BOX, source, IDC_BROWSE_SOURCE);
                break;
        }
        if (row.route != ByHandOff && row.route != ByDrop) TypeAndLeave(IDC_DEST_BOX, dest, IDC_BROWSE_DEST);
        std::vector<std::string> before = ListFiles(dest);
        if (row.outcome == PathRefused) {
            ASSERT_EQ(1u, boxes.Count()) << boxes.Describe();
            EXPECT_NE(std::string::npos, boxes.Last().text.find(kTooLong)) << boxes.Describe();
            EXPECT_EQ(window_, boxes.Last().owner);
            EXPECT_STREQ("", row.route == ByDestinationBox ? appState.destDir : appState.sourcePath);
        }
        Click(IDC_SPLIT);
        std::string name = source.substr(source.rfind('\\') + 1);
        std::string text;
        for (const SeenBox& box : boxes.Seen()) text += box.text + "\n";
        if (row.outcome != Splits) {
            EXPECT_EQ(std::string::npos, text.find("Split Successfully")) << text;
            EXPECT_EQ(before, ListFiles(dest)) << "written for a path refused";
            if (row.outcome == NamesRefused) {
                EXPECT_NE(std::string::npos, text.find(kNamesTooLong)) << text;
            }
        } else {
            EXPECT_NE(std::string::npos, text.find("Split Successfully\n#Parts\t : 3 part(s) \nTarget Dir\t : " +
                                                   dest + "\\"))
                << text;
            std::vector<char> joined;
            for (const char* part : {".001", ".002", ".003"}) {
                std::vector<char> bytes = ReadBytes(dest + "\\" + name + part);
                joined.insert(joined.end(), bytes.begin(), bytes.end());
            }
            EXPECT_TRUE(joined == PatternBytes(600000)) << "the parts do not join to " << source;
            EXPECT_TRUE(FileExists(dest + "\\" + name + ".sha256"));
            EXPECT_TRUE(FileExists(dest + "\\" + name + ".bat") ||
                        text.find("No merge script was written") != std::string::npos)
                << text;
            for (const std::string& file : ListFiles(dest)) {
                if (file.compare(0, name.size(), name) == 0 && file != name) {
                    DeleteFileA((dest + "\\" + file).c_str());
                }
            }
        }
        DestroyWindow(window_);
        window_ = nullptr;
        Settle();
        TakeQuitMessage();
        ResetAppState();
    }
}

TEST_F(Utf8LongPaths, ARecentFolderOfTheEarlierVersionIsListedWholeAndKept) {
    // The earlier version stored 260 bytes of its ANSI code page: 259 characters
    // and the terminator, which in UTF-8 take 518 bytes and more.
    std::wstring folder = L"D:\\";
    while (folder.size() < 258) folder += L'ж';
    folder += L'\\';
    std::wstring stored = folder + L'\0';
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Velk", 0, nullptr, 0,
                                             KEY_WRITE, nullptr, &key, nullptr));
    RegSetValueExW(key, L"MRUD1", 0, REG_SZ, reinterpret_cast<const BYTE*>(stored.c_str()),
                   static_cast<DWORD>(stored.size() * sizeof(wchar_t)));
    RegCloseKey(key);
    char utf8[kPathSize] = "";
    ASSERT_NE(0, WideCharToMultiByte(CP_UTF8, 0, folder.c_str(), -1, utf8, sizeof utf8, nullptr, nullptr));
    ASSERT_GT(std::strlen(utf8), 500u);

    SetUseMru(true);
    Open();
    EXPECT_EQ(1, SendMessageA(Item(IDC_DEST_BOX), CB_GETCOUNT, 0, 0)) << "listed once";
    EXPECT_STREQ(utf8, appState.destDir);
    // The next split's destination goes into the next slot, beside it.
    ASSERT_TRUE(appState.settings->AddRecentDir("D:\\next\\"));
    char read[kPathSize] = "";
    EXPECT_EQ(StatusOk, appState.settings->GetRecentDir(read, 1));
    EXPECT_STREQ(utf8, read);
}
