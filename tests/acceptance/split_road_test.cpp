// A person splits files with the program: through its window, with real keys and
// clicks, then joins the parts with the written script in the command interpreter.
#include <string>

#include "gtest/gtest.h"
#include "res/resource.h"
#include "tests/acceptance/person.h"
#include "tests/support/test_drives.h"
#include "tests/support/test_files.h"
#include "tests/support/velk_registry.h"

namespace {
const char kSummary[] = "File\t : %s Split Successfully\n#Parts\t : %u part(s) \nTarget Dir\t : %s";

std::string Summary(const std::string& name, unsigned parts, const std::string& dir) {
    char text[1024];
    snprintf(text, sizeof text, kSummary, name.c_str(), parts, dir.c_str());
    return text;
}

// Runs the merge script where the parts lie and says whether the rebuilt file
// equals the source byte for byte.
::testing::AssertionResult JoinsBackTo(const std::string& folder, const std::string& name,
                                       const std::vector<char>& source) {
    std::string rebuilt = folder + "\\" + name;
    DeleteFileA(rebuilt.c_str());
    int code = RunProcess("cmd.exe /c \"" + name + ".bat\"", folder);
    if (code != 0) return ::testing::AssertionFailure() << "the script exited with " << code;
    std::vector<char> bytes = ReadBytes(rebuilt);
    if (bytes != source) {
        return ::testing::AssertionFailure()
               << "rebuilt " << bytes.size() << " bytes, source " << source.size() << " bytes";
    }
    return ::testing::AssertionSuccess();
}

class SplitRoad : public CleanVelkKey {};
}  // namespace

TEST_F(SplitRoad, TypedSourceFloppySizeAndDestinationSplitAndJoinBack) {
    ScratchDir from, to;
    std::string name = "holiday photos.zip";
    ASSERT_TRUE(WritePattern(from / name, 3000000, 7));

    VelkProcess velk;
    ASSERT_TRUE(velk.started());
    Person::TypeInto(velk.control(IDC_SOURCE_BOX), from / name);
    Person::Keys("Tab");
    ASSERT_TRUE(PumpUntil([&] { return TextOf(velk.control(IDC_FILE_SIZE_TEXT)) == "File Size : 2.86 MB"; }))
        << TextOf(velk.control(IDC_FILE_SIZE_TEXT));

    // The size list, by keyboard: from the top down to the floppy entry.
    Person::Click(velk.control(IDC_SIZE_BOX));
    Person::Keys("Escape Home Down Down Down");
    EXPECT_EQ(3, ComboSelection(velk.control(IDC_SIZE_BOX)));
    // The window handles each key's selection change in its own time.
    EXPECT_TRUE(PumpUntil([&] { return TextOf(velk.control(IDC_SPLIT_SIZE_TEXT)) == "Split Size : 1.39 MB"; }))
        << TextOf(velk.control(IDC_SPLIT_SIZE_TEXT));
    EXPECT_EQ("Num of Split Parts : 3", TextOf(velk.control(IDC_PART_COUNT_TEXT)));

    Person::TypeInto(velk.control(IDC_DEST_BOX), to.path());
    Person::Click(velk.control(IDC_SPLIT));

    HWND box = WaitForMessageBox(velk.id());
    ASSERT_NE(nullptr, box) << "no summary";
    SeenBox summary = AnswerBox(box, IDOK);
    EXPECT_EQ(Summary(name, 3, to.path() + "\\"), summary.text);
    EXPECT_EQ(static_cast<UINT>(MB_OK), summary.style());

    // The form is back at its start; the destination stays.
    EXPECT_TRUE(PumpUntil([&] { return TextOf(velk.control(IDC_FILE_SIZE_TEXT)) == "File Size : 0KB"; }));
    EXPECT_EQ("", TextOf(velk.control(IDC_SOURCE_BOX)));
    EXPECT_EQ("Split Size : 1.38MB", TextOf(velk.control(IDC_SPLIT_SIZE_TEXT)));
    EXPECT_EQ(to.path(), TextOf(velk.control(IDC_DEST_BOX)));

    EXPECT_EQ(1457664, FileSize(to / (name + ".001")));
    EXPECT_EQ(1457664, FileSize(to / (name + ".002")));
    EXPECT_EQ(84672, FileSize(to / (name + ".003")));
    EXPECT_TRUE(JoinsBackTo(to.path(), name, ReadBytes(from / name)));
    EXPECT_TRUE(velk.CloseByButton());
}

TEST_F(SplitRoad, SpanningThreeFloppiesWithRetryAtEachPrompt) {
    SKIP_WITHOUT_FLOPPY();
    FloppyDrive floppy;
    ScratchDir from;
    std::string name = "archive.bin";
    ASSERT_TRUE(WritePattern(from / name, 3500000, 11));

    VelkProcess velk;
    ASSERT_TRUE(velk.started());
    Person::TypeInto(velk.control(IDC_SOURCE_BOX), from / name);
    Person::Keys("Tab");
    ASSERT_TRUE(PumpUntil([&] { return TextOf(velk.control(IDC_PART_COUNT_TEXT)) == "Num of Split Parts : 3"; }));
    Person::TypeInto(velk.control(IDC_DEST_BOX), "A:\\");
    Person::Click(velk.control(IDC_SPLIT));

    // Each floppy holds one floppy-sized part: the second and third parts ask for a disk.
    const char* needed[] = {"1457664", "584672"};
    for (const char* bytes : needed) {
        HWND box = WaitForMessageBox(velk.id());
        ASSERT_NE(nullptr, box) << "no prompt for " << bytes;
        SeenBox seen = ReadMessageBox(box);
        EXPECT_EQ(std::string("Insert another Disk which has atleast ") + bytes +
                      " bytes free \n                            and retry",
                  seen.text);
        EXPECT_EQ(static_cast<UINT>(MB_RETRYCANCEL | MB_ICONERROR), seen.style());
        floppy.InsertEmptyDisk();
        AnswerBox(box, IDRETRY);
    }
    HWND box = WaitForMessageBox(velk.id());
    ASSERT_NE(nullptr, box);
    EXPECT_EQ(Summary(name, 3, "A:\\"), AnswerBox(box, IDOK).text);

    floppy.GatherAll();
    EXPECT_EQ(3, floppy.DisksTakenOut());
    EXPECT_TRUE(JoinsBackTo(floppy.Pile(), name, ReadBytes(from / name)));
}

TEST_F(SplitRoad, CustomSizeTypedInItsDialog) {
    ScratchDir from, to;
    ASSERT_TRUE(WritePattern(from / "notes.txt", 250000, 3));

    VelkProcess velk;
    ASSERT_TRUE(velk.started());
    Person::TypeInto(velk.control(IDC_SOURCE_BOX), from / "notes.txt");
    Person::Keys("Tab");
    Person::Click(velk.control(IDC_SIZE_BOX));
    Person::Keys("Escape End");
    HWND dialog = WaitForDialog(velk.id(), "Choose Custom File Split Size");
    ASSERT_NE(nullptr, dialog);
    // The box opens holding a selected "0": typing replaces it.
    Person::Type("100000");
    HWND label = GetDlgItem(dialog, 1011);
    EXPECT_TRUE(PumpUntil([&] { return TextOf(label) == "Custom Size is : 97.66 KB"; })) << TextOf(label);
    Person::Click(GetDlgItem(dialog, IDOK));
    ASSERT_TRUE(WaitGone(dialog));
    EXPECT_EQ(7, ComboSelection(velk.control(IDC_SIZE_BOX))) << "\"Custom Size\", the last entry";
    EXPECT_EQ("Num of Split Parts : 3", TextOf(velk.control(IDC_PART_COUNT_TEXT)));

    Person::TypeInto(velk.control(IDC_DEST_BOX), to.path());
    Person::Click(velk.control(IDC_SPLIT));
    HWND box = WaitForMessageBox(velk.id());
    ASSERT_NE(nullptr, box);
    AnswerBox(box, IDOK);
    EXPECT_EQ(100000, FileSize(to / "notes.txt.001"));
    EXPECT_EQ(50000, FileSize(to / "notes.txt.003"));
    EXPECT_TRUE(JoinsBackTo(to.path(), "notes.txt", ReadBytes(from / "notes.txt")));
}

TEST_F(SplitRoad, RecentDestinationIsOfferedAtTheNextStart) {
    ScratchDir from, to;
    ASSERT_TRUE(WritePattern(from / "a.bin", 1000, 5));
    {
        VelkProcess velk;
        ASSERT_TRUE(velk.started());
        EXPECT_TRUE(ComboItems(velk.control(IDC_DEST_BOX)).empty());
        Person::TypeInto(velk.control(IDC_SOURCE_BOX), from / "a.bin");
        Person::Keys("Tab");
        Person::TypeInto(velk.control(IDC_DEST_BOX), to.path());
        Person::Click(velk.control(IDC_SPLIT));
        HWND box = WaitForMessageBox(velk.id());
        ASSERT_NE(nullptr, box);
        AnswerBox(box, IDOK);
        EXPECT_TRUE(velk.CloseByButton());
    }
    VelkProcess again;
    ASSERT_TRUE(again.started());
    std::vector<std::string> items = ComboItems(again.control(IDC_DEST_BOX));
    ASSERT_EQ(1u, items.size());
    EXPECT_EQ(to.path() + "\\", items[0]);
}
