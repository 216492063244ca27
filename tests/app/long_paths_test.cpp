// Paths past 259 bytes in UTF-8 (this program's code page, as velk.exe's) but not 259 characters,
// through every route into the main window: split exactly, or refused with a box before any write.
#include <windows.h>
#include <shlobj.h>

#include <string>

#include "app/startup.h"
#include "core/app_state.h"
#include "res/resource.h"
#include "settings/settings_store.h"
#include "tests/app/main_window_fixture.h"
#include "tests/support/test_files.h"

namespace {
enum Route { ByFileBox, ByDestinationBox, ByDrop, ByHandOff, ByCommandLine };
constexpr char kSplit[] = "Split Successfully";
constexpr char kTooLong[] = "longer than Windows allows (259 characters), so VELK cannot use it";

std::string Times(const char* unit, int count) { return count == 0 ? "" : unit + Times(unit, count - 1); }
// Folders below path of at most `characters` characters, in levels of 40 units (a Linux name takes 255 bytes).
std::string MadeFolders(std::string path, const std::string& level, std::size_t characters) {
    while (PathCharacters((path + "\\" + level).c_str()) <= characters) path += "\\" + level;
    return SHCreateDirectoryExA(nullptr, path.c_str(), nullptr) == ERROR_SUCCESS ? path : "(not made)";
}

using Utf8LongPaths = MainWindowTest;
}  // namespace

TEST_F(Utf8LongPaths, EveryRouteTakesThePathWholeOrRefusesItWithItsBox) {
    if (GetACP() != CP_UTF8) GTEST_SKIP() << "the ANSI code page is " << GetACP() << ", not UTF-8";
    ScratchDir scratch;
    const std::string cyrillic = MadeFolders(scratch.path(), Times("ж", 40), 200);  // about 360 bytes
    const std::string chinese = MadeFolders(scratch.path(), Times("数", 40), 200);   // about 520 bytes
    std::string full = cyrillic + "\\";  // 259 characters: taken, but its parts' names are longer
    while (PathCharacters((full + "ф.bin").c_str()) <= 259) full += "ф";
    full += ".bin";
    const std::string sources[] = {scratch / "data.bin", cyrillic + "\\Отчёт 2026.zip", chinese + "\\数据.bin", full};
    for (const std::string& source : sources) ASSERT_TRUE(WritePattern(source, 600000)) << source;
    const std::string tooLong = full + ".bak";  // its first 259 characters name a file
    const struct { Route route; std::string path; const char* box; } rows[] = {
        {ByFileBox, sources[1], kSplit},       {ByFileBox, full, "would have paths longer than Windows"},
        {ByFileBox, tooLong, kTooLong},        {ByDestinationBox, chinese, kSplit},
        {ByDestinationBox, tooLong, kTooLong}, {ByDrop, sources[2], kSplit},
        {ByDrop, tooLong, kTooLong},           {ByHandOff, sources[1], kSplit},
        {ByHandOff, tooLong, kTooLong},        {ByCommandLine, sources[2], kSplit},
        {ByCommandLine, tooLong, kTooLong},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.path);
        std::string source = row.route == ByDestinationBox ? sources[0] : row.path;
        std::string dest = row.route == ByDestinationBox ? row.path : source.substr(0, source.rfind('\\'));
        MessageBoxAnswerer boxes;
        if (row.route == ByCommandLine) SetInitialSource(row.path.c_str());
        Open();
        ChooseSize(0);  // 256 KB: three parts
        if (row.route == ByFileBox || row.route == ByDestinationBox) TypeAndLeave(IDC_SOURCE_BOX, source, IDC_SPLIT);
        if (row.route == ByDrop) Drop({row.path});
        COPYDATASTRUCT data{kHandOffTag, static_cast<DWORD>(row.path.size() + 1), const_cast<char*>(row.path.c_str())};
        if (row.route == ByHandOff) SendMessageA(window_, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
        TypeAndLeave(IDC_DEST_BOX, dest, IDC_SPLIT);
        std::vector<std::string> before = ListFiles(dest);
        Click(IDC_SPLIT);
        const std::string seen = boxes.Describe();
        EXPECT_NE(std::string::npos, seen.find(row.box)) << seen;
        const std::string name = dest + "\\" + source.substr(source.rfind('\\') + 1);
        EXPECT_TRUE(row.box == kSplit || before == ListFiles(dest)) << "written for a path refused";
        if (row.box == kSplit) {
            std::vector<char> joined;
            for (const char* part : {".001", ".002", ".003"}) for (char c : ReadBytes(name + part)) joined.push_back(c);
            EXPECT_TRUE(joined == PatternBytes(600000)) << "the parts do not join to the source";
            EXPECT_TRUE(FileExists(name + ".sha256"));
            EXPECT_TRUE(FileExists(name + ".bat") || seen.find("No merge script") != std::string::npos) << seen;
        }
        TearDown(), SetUp();  // the window closed, and opened afresh for the next row
    }
}

TEST_F(Utf8LongPaths, ARecentFolderTheEarlierVersionStoredIsListedWholeAndKept) {
    if (GetACP() != CP_UTF8) GTEST_SKIP() << "the ANSI code page is " << GetACP() << ", not UTF-8";
    // The earlier version's 260 bytes: 259 characters and the terminator, 514 bytes in UTF-8.
    const std::string folder = "D:\\" + Times("ж", 255) + "\\";
    ASSERT_TRUE(VelkRegistry::WriteText("MRUD1", folder, static_cast<DWORD>(folder.size() + 1)));
    SetUseMru(true);
    Open();
    EXPECT_EQ(1, SendMessageA(Item(IDC_DEST_BOX), CB_GETCOUNT, 0, 0)) << "listed once";
    EXPECT_EQ(folder, appState.destDir);
    ASSERT_TRUE(appState.settings->AddRecentDir("D:\\next\\"));
    EXPECT_EQ(folder, VelkRegistry::Read("MRUD1").Text()) << "overwritten";
    EXPECT_EQ("D:\\next\\", VelkRegistry::Read("MRUD2").Text());
}
