// A run whose MappedFile cannot be allocated ends as cancelled. The program
// allocates its MappedFile objects with the non-throwing new; this test program
// replaces that operator so it can be made to fail on demand.
#include <cstdlib>
#include <new>

#include "split/merge_script.h"
#include "split/split_run.h"
#include "tests/split/split_fixture.h"
#include "tests/support/message_boxes.h"

namespace {
bool refuseAllocations = false;
}

void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    if (refuseAllocations) return nullptr;
    return std::malloc(size ? size : 1);
}

void operator delete(void* block, const std::nothrow_t&) noexcept { std::free(block); }

class AllocationTest : public SplitTest {
protected:
    void TearDown() override {
        refuseAllocations = false;
        SplitTest::TearDown();
    }
};

TEST_F(AllocationTest, ARunWithoutMemoryForItsReaderIsCancelled) {
    ChooseSource("data.zip", 3000, 1000);
    MessageBoxAnswerer boxes;
    boxes.Then(IDOK);
    refuseAllocations = true;
    bool result = SplitFile();
    refuseAllocations = false;
    EXPECT_FALSE(result);
    ASSERT_EQ(1u, boxes.Count()) << boxes.Describe();
    EXPECT_EQ("Cancelling File Split", boxes.Last().text);
    EXPECT_TRUE(ListFiles(dest_.path()).empty());
    EXPECT_EQ(nullptr, sourceReader);
}

TEST_F(AllocationTest, AScriptWithoutMemoryForItsWriterIsNotWritten) {
    SetRun(sources_ / "data.zip", 3000, 1000, dest_.path());
    MessageBoxAnswerer boxes;
    refuseAllocations = true;
    bool result = WriteMergeScript();
    refuseAllocations = false;
    EXPECT_FALSE(result);
    EXPECT_EQ(0u, boxes.Count());
    EXPECT_TRUE(ListFiles(dest_.path()).empty());
}
