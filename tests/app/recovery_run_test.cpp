// A split through the real window with the preference "RecoveryParts" set: the
// set beside the parts, the summary's line, and nothing of it left by a failed run.
#include <string>
#include <vector>

#include "core/app_state.h"
#include "res/resource.h"
#include "tests/app/main_window_fixture.h"
#include "tests/support/test_files.h"

namespace {
class RecoveryRunTest : public MainWindowTest {
protected:
    // Splits a 3000000-byte data.zip into out with the preference at `parts`.
    void SplitWithRecovery(const ScratchDir& src, const ScratchDir& out, DWORD parts,
                           MessageBoxAnswerer& boxes) {
        VelkRegistry::CreateKey();
        VelkRegistry::WriteDword("RecoveryParts", parts);
        ASSERT_TRUE(WriteBytes(src / "data.zip", PatternBytes(3000000, 7)));
        Open();
        TypeAndLeave(IDC_SOURCE_BOX, src / "data.zip", IDC_BROWSE_SOURCE);
        TypeAndLeave(IDC_DEST_BOX, out.path(), IDC_BROWSE_DEST);
        boxes.Then(IDOK);
        Click(IDC_SPLIT);
    }
};

TEST_F(RecoveryRunTest, TheSetLiesBesideThePartsAndTheSummarySaysWhatItCovers) {
    ScratchDir src, out;
    MessageBoxAnswerer boxes;
    SplitWithRecovery(src, out, 2, boxes);
    ASSERT_EQ(1u, boxes.Count()) << boxes.Describe();
    EXPECT_NE(std::string::npos,
              boxes.Last().text.find("\nRecovery\t : any 2 lost part(s) can be rebuilt"))
        << boxes.Last().text;
    for (const char* file : {"data.zip.par2", "data.zip.vol0+1.par2", "data.zip.vol1+1.par2"}) {
        EXPECT_TRUE(FileExists(out / file)) << file;
    }
}

// The index cannot be written (a folder holds its name): the run fails after the
// volumes were made, and takes them away again.
TEST_F(RecoveryRunTest, AFailedSetLeavesNoneOfItsFiles) {
    ScratchDir src, out;
    ASSERT_TRUE(CreateDirectoryA((out / "data.zip.par2").c_str(), nullptr));
    MessageBoxAnswerer boxes;
    SplitWithRecovery(src, out, 1, boxes);
    ASSERT_EQ(1u, boxes.Count()) << boxes.Describe();
    EXPECT_EQ("Error Creating the Recovery Volume\n" + (out / "data.zip.par2"), boxes.Last().text);
    EXPECT_FALSE(FileExists(out / "data.zip.vol0+1.par2"));
    EXPECT_FALSE(FileExists(out / "data.zip.bat"));
    RemoveDirectoryA((out / "data.zip.par2").c_str());
}
}  // namespace
