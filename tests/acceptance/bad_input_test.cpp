// What a person sees when the input is wrong: a clear message each time, and
// nothing lost or half done.
#include <algorithm>
#include <memory>
#include <string>

#include "core/app_state.h"
#include "gtest/gtest.h"
#include "res/resource.h"
#include "tests/acceptance/person.h"
#include "tests/support/test_files.h"
#include "tests/support/velk_registry.h"

namespace {
class BadInput : public RunningVelk {
protected:
    ScratchDir dir_;
};
}  // namespace

TEST_F(BadInput, MissingSourceFileIsReportedAtSplit) {
    Person::TypeInto(control(IDC_SOURCE_BOX), dir_ / "not there.zip");
    Person::TypeInto(control(IDC_DEST_BOX), dir_.path());
    Person::Click(control(IDC_SPLIT));
    SeenBox box = Box();
    EXPECT_EQ("File does not Exist", box.text);
    EXPECT_EQ(static_cast<UINT>(MB_ICONINFORMATION), box.style());
    EXPECT_EQ(kWindowTitle, box.caption);
    EXPECT_TRUE(ListFiles(dir_.path()).empty());
}

TEST_F(BadInput, DestinationThatIsAFileIsRefusedAndTheFileKept) {
    ASSERT_TRUE(WritePattern(dir_ / "source.bin", 5000));
    ASSERT_TRUE(WritePattern(dir_ / "plain file", 10));
    Person::TypeInto(control(IDC_SOURCE_BOX), dir_ / "source.bin");
    Person::TypeInto(control(IDC_DEST_BOX), dir_ / "plain file");
    // Leaving the box checks it: a file is no folder, and the person declines to
    // make one of that name. The click that left the box starts no split.
    Person::Click(control(IDC_SPLIT));
    SeenBox question = Box(IDNO);
    EXPECT_EQ("Directory does not exit do you want to create one ?", question.text);
    SeenBox refusal = Box();
    EXPECT_EQ("Correct the Directory Name", refusal.text);
    EXPECT_EQ(static_cast<UINT>(MB_ICONINFORMATION), refusal.style());
    EXPECT_EQ(nullptr, WaitForMessageBox(velk_->id(), 1000)) << "no split may follow";
    EXPECT_EQ(10, FileSize(dir_ / "plain file"));
    EXPECT_EQ(2u, ListFiles(dir_.path()).size()) << "no part may be written";
}

TEST_F(BadInput, ForbiddenCharactersInTheDestinationAreNamed) {
    Person::TypeInto(control(IDC_DEST_BOX), dir_.path() + "\\what?");
    Person::Click(control(IDC_SOURCE_BOX));
    SeenBox box = Box();
    EXPECT_EQ("Directory Name cannot contain any of the following characters:\n"
              "              / : * ? \" < > | ",
              box.text);
    EXPECT_EQ(static_cast<UINT>(MB_ICONERROR), box.style());
    // The text stays as typed, for the person to correct.
    EXPECT_EQ(dir_.path() + "\\what?", TextOf(control(IDC_DEST_BOX)));
}

TEST_F(BadInput, MissingDestinationFolderIsCreatedOnRequest) {
    std::string wanted = dir_ / "new folder";
    Person::TypeInto(control(IDC_DEST_BOX), wanted);
    Person::Click(control(IDC_SOURCE_BOX));
    SeenBox question = Box(IDYES);
    EXPECT_EQ("Directory does not exit do you want to create one ?", question.text);
    EXPECT_EQ(static_cast<UINT>(MB_YESNO | MB_ICONQUESTION), question.style());
    SeenBox created = Box();
    EXPECT_EQ("Directory Created", created.text);
    DWORD attributes = GetFileAttributesA(wanted.c_str());
    EXPECT_TRUE(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY));
}

TEST_F(BadInput, CustomSizeOfZeroIsRefusedAndCancelKeepsThePreset) {
    Person::Click(control(IDC_SIZE_BOX));
    Person::Keys("Escape End");
    HWND dialog = WaitForDialog(velk_->id(), "Choose Custom File Split Size");
    ASSERT_NE(nullptr, dialog);
    Person::Keys("Return");  // the box still holds its "0"
    SeenBox box = Box(IDCANCEL);
    EXPECT_EQ("Split Size Cannot be 0 Bytes", box.text);
    EXPECT_EQ(static_cast<UINT>(MB_RETRYCANCEL), box.style());
    EXPECT_TRUE(WaitGone(dialog));
    EXPECT_EQ(3, ComboSelection(control(IDC_SIZE_BOX)));
}
