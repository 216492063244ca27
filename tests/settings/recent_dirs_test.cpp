// The ring of recent destination directories, on the real registry.
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "core/app_state.h"
#include "gtest/gtest.h"
#include "settings/settings_store.h"
#include "tests/support/velk_registry.h"

namespace {
using Texts = std::vector<std::string>;

std::string Join(const Texts& texts) {
    std::string all;
    for (const std::string& t : texts) all += (all.empty() ? "" : ", ") + (t.empty() ? "-" : t);
    return "[" + all + "]";
}

class RecentDirsTest : public CleanVelkKey {
protected:
    void SetUp() override {
        CleanVelkKey::SetUp();
        ResetRecentEnumeration();
    }
    void TearDown() override {
        ResetRecentEnumeration();
        CleanVelkKey::TearDown();
    }

    // A start of the program with the given limit stored beforehand.
    void StartWithLimit(DWORD limit) {
        store_.reset();
        VelkRegistry::WriteDword("MRUDLimit", limit);
        store_ = std::make_unique<SettingsStore>();
        ASSERT_EQ(limit, store_->mruLimit);
    }
    // The texts of slots 1 to limit as stored.
    Texts Slots() {
        Texts slots;
        for (DWORD i = 1; i <= store_->mruLimit; ++i) {
            slots.push_back(VelkRegistry::Read("MRUD" + std::to_string(i)).Text());
        }
        return slots;
    }
    // One enumeration as a fresh process makes it, every slot read included.
    Texts Enumerate(int maxCalls = 50) {
        ResetRecentEnumeration();
        Texts read;
        char buffer[kPathSize];
        memset(buffer, 0, sizeof buffer);
        if (!store_->NextRecentDir(buffer, RecentFirst)) {
            ADD_FAILURE() << "RecentFirst returned false";
            return read;
        }
        read.push_back(buffer);
        while (store_->NextRecentDir(buffer, RecentNext)) {
            read.push_back(buffer);
            if (static_cast<int>(read.size()) > maxCalls) {
                ADD_FAILURE() << "the enumeration does not end";
                break;
            }
        }
        return read;
    }
    // What the main window lists: the non-empty texts in enumeration order.
    Texts Listed() {
        Texts listed;
        for (const std::string& t : Enumerate()) {
            if (!t.empty()) listed.push_back(t);
        }
        return listed;
    }
    void Add(const std::string& dir) {
        char buffer[kPathSize] = {};
        CopyText(buffer, dir.c_str());
        EXPECT_TRUE(store_->AddRecentDir(buffer));
    }

    std::unique_ptr<SettingsStore> store_;
};

TEST_F(RecentDirsTest, WorkedExampleOfLimitFive) {
    StartWithLimit(5);
    struct Row {
        const char* added;
        Texts slots;
        DWORD index;
        Texts listed;
    } rows[] = {
        {"P", {"P", "", "", "", ""}, 1, {"P"}},
        {"Q", {"P", "Q", "", "", ""}, 2, {"Q", "P"}},
        {"R", {"P", "Q", "R", "", ""}, 3, {"R", "Q", "P"}},
        {"Q", {"P", "Q", "R", "Q", ""}, 4, {"Q", "R", "Q", "P"}},
        {"S", {"P", "Q", "R", "Q", "S"}, 5, {"S", "Q", "R", "Q", "P"}},
        {"T", {"P", "Q", "R", "T", "S"}, 4, {"T", "R", "Q", "P", "S"}},
        {"U", {"P", "Q", "U", "T", "S"}, 3, {"U", "Q", "P", "S", "T"}},
        {"U", {"P", "Q", "U", "T", "S"}, 3, {"U", "Q", "P", "S", "T"}},
        {"V", {"P", "V", "U", "T", "S"}, 2, {"V", "P", "S", "T", "U"}},
        {"P", {"P", "V", "U", "T", "S"}, 2, {"V", "P", "S", "T", "U"}},
    };
    int step = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE("row " + std::to_string(++step) + ", added " + row.added);
        Add(std::string("D:\\") + row.added + "\\");
        Texts slots, listed;
        for (const std::string& s : row.slots) slots.push_back(s.empty() ? "" : "D:\\" + s + "\\");
        for (const std::string& s : row.listed) listed.push_back("D:\\" + s + "\\");
        EXPECT_EQ(Join(slots), Join(Slots()));
        EXPECT_EQ(row.index, store_->mruDefault);
        EXPECT_EQ(row.index, VelkRegistry::Read("MRUDDefault").Dword());
        EXPECT_EQ(Join(listed), Join(Listed()));
    }
}

TEST_F(RecentDirsTest, EveryEnumerationReadsExactlyLimitSlots) {
    for (DWORD limit = 1; limit <= 7; ++limit) {
        StartWithLimit(limit);
        for (DWORD index = 1; index <= limit; ++index) {
            SCOPED_TRACE("limit " + std::to_string(limit) + ", default " + std::to_string(index));
            store_->mruDefault = index;
            Texts read = Enumerate();
            EXPECT_EQ(limit, read.size()) << Join(read);
            EXPECT_TRUE(Listed().empty()) << "a first start lists nothing";
        }
    }
}

TEST_F(RecentDirsTest, EmptyOrAlreadyDefaultDirectoryChangesNothing) {
    StartWithLimit(5);
    Add("");
    EXPECT_EQ(1u, store_->mruDefault);
    EXPECT_EQ(Join({"", "", "", "", ""}), Join(Slots()));
    Add("D:\\a\\");
    Add("D:\\a\\");
    EXPECT_EQ(Join({"D:\\a\\", "", "", "", ""}), Join(Slots()));
    EXPECT_EQ(1u, store_->mruDefault);
}

TEST_F(RecentDirsTest, CaseAndTrailingBackslashMakeDifferentEntries) {
    StartWithLimit(5);
    Add("D:\\Data\\");
    Add("d:\\data\\");
    Add("D:\\Data");
    EXPECT_EQ(Join({"D:\\Data\\", "d:\\data\\", "D:\\Data", "", ""}), Join(Slots()));
}

TEST_F(RecentDirsTest, FullListWithDefaultOneReplacesTheLastSlot) {
    StartWithLimit(3);
    Add("D:\\a\\");
    Add("D:\\b\\");
    Add("D:\\c\\");
    store_->mruDefault = 1;  // as a later start would find it after a wrap
    Add("D:\\d\\");
    EXPECT_EQ(Join({"D:\\a\\", "D:\\b\\", "D:\\d\\"}), Join(Slots()));
    EXPECT_EQ(3u, store_->mruDefault);
    EXPECT_EQ(3u, VelkRegistry::Read("MRUDDefault").Dword());
}

TEST_F(RecentDirsTest, LimitOneKeepsOnlyTheNewest) {
    StartWithLimit(1);
    Add("D:\\a\\");
    Add("D:\\b\\");
    EXPECT_EQ(Join({"D:\\b\\"}), Join(Slots()));
    EXPECT_EQ(1u, store_->mruDefault);
    char buffer[kPathSize] = "";
    ResetRecentEnumeration();
    EXPECT_TRUE(store_->NextRecentDir(buffer, RecentFirst));
    EXPECT_STREQ("D:\\b\\", buffer);
    EXPECT_FALSE(store_->NextRecentDir(buffer, RecentNext));
    EXPECT_STREQ("D:\\b\\", buffer) << "the final call leaves the buffer alone";
}

TEST_F(RecentDirsTest, TheListSurvivesARestart) {
    StartWithLimit(5);
    Add("D:\\a\\");
    Add("D:\\b\\");
    store_ = std::make_unique<SettingsStore>();
    EXPECT_EQ(2u, store_->mruDefault);
    EXPECT_EQ(Join({"D:\\b\\", "D:\\a\\"}), Join(Listed()));
}

TEST_F(RecentDirsTest, AnEntryThatIsNoPathIsLeftAloneByEveryAddition) {
    StartWithLimit(3);
    Add("D:\\a\\");
    VelkRegistry::WriteText("MRUD2", std::string(260, 'y'), 260);  // 260 characters, no terminator
    Add(std::string(259, 'y'));  // not that entry cut to 259 characters: slot 3
    Add("D:\\b\\");            // the list is full: slot 2 is passed, slot 1 taken
    EXPECT_EQ(Join({"D:\\b\\", std::string(260, 'y'), std::string(259, 'y')}), Join(Slots()));
    EXPECT_EQ(1u, store_->mruDefault);
}

TEST_F(RecentDirsTest, WalksEndWhateverTheRegistryOrFieldsHold) {
    StartWithLimit(5);
    for (const char* d : {"D:\\a\\", "D:\\b\\", "D:\\c\\", "D:\\d\\", "D:\\e\\"}) Add(d);
    // Behind the program's back: the key goes away while it runs.
    ASSERT_TRUE(VelkRegistry::DeleteKey());
    Add("D:\\f\\");
    EXPECT_EQ(5u, store_->mruDefault) << "a failed write of the default index moves nothing";
    EXPECT_EQ(5u, Enumerate().size());
    // Fields outside the ring (as a caller could set them): every walk still ends.
    for (DWORD index : {0u, 6u, 9u, 4294967295u}) {
        SCOPED_TRACE("default " + std::to_string(index));
        store_->mruDefault = index;
        Add("D:\\g\\");
        EXPECT_GE(5u, Enumerate().size());
    }
}

TEST_F(RecentDirsTest, TheStopSlotIsFixedByTheProcessFirstEnumeration) {
    StartWithLimit(5);
    Add("D:\\a\\");
    Add("D:\\b\\");
    EXPECT_EQ(Join({"D:\\b\\", "D:\\a\\"}), Join(Listed()));  // stop fixed at slot 2
    Add("D:\\c\\");
    char buffer[kPathSize];
    int reads = store_->NextRecentDir(buffer, RecentFirst) ? 1 : 0;
    while (store_->NextRecentDir(buffer, RecentNext)) ++reads;
    EXPECT_EQ(1, reads) << "without a fresh start the old stop slot ends the walk";
    EXPECT_EQ(5u, Enumerate().size()) << "after ResetRecentEnumeration";
}
}  // namespace
