// The settings store on the real registry of the test prefix, under a key that is
// removed before and after every test.
#include "settings/settings_store.h"

#include <windows.h>

#include <memory>
#include <string>

#include "core/app_state.h"
#include "gtest/gtest.h"
#include "tests/support/velk_registry.h"

namespace {
std::string SlotName(int index) { return "MRUD" + std::to_string(index); }

void ExpectDword(const char* name, DWORD expected) {
    RawValue value = VelkRegistry::Read(name);
    ASSERT_TRUE(value.exists()) << name << " is missing";
    EXPECT_EQ(static_cast<DWORD>(REG_DWORD), value.type) << name;
    EXPECT_EQ(4u, value.size()) << name;
    EXPECT_EQ(expected, value.Dword()) << name;
}

void ExpectText(const std::string& name, const std::string& expected) {
    RawValue value = VelkRegistry::Read(name);
    ASSERT_TRUE(value.exists()) << name << " is missing";
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), value.type) << name;
    EXPECT_EQ(260u, value.size()) << name;
    EXPECT_EQ(expected, value.Text()) << name;
    EXPECT_TRUE(value.ZeroFilled()) << name << ": filler bytes are not zeros";
}

std::string ExePath() {
    char path[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, path, sizeof path);
    return path;
}

class SettingsStoreTest : public CleanVelkKey {
protected:
    std::unique_ptr<SettingsStore> Start() { return std::make_unique<SettingsStore>(); }
};

TEST_F(SettingsStoreTest, FirstStartCreatesEveryValueWithItsDefaultTypeAndSize) {
    auto store = Start();
    EXPECT_EQ(static_cast<DWORD>(REG_CREATED_NEW_KEY), store->disposition);
    EXPECT_EQ(5u, store->mruLimit);
    EXPECT_EQ(1u, store->mruDefault);
    ExpectText("App Path", ExePath());
    ExpectDword("MRUDLimit", 5);
    ExpectDword("MRUDDefault", 1);
    for (int i = 1; i <= 7; ++i) ExpectText(SlotName(i), "");
    ExpectDword("UseMRUD", 0);
    ExpectDword("MinToSysTray", 1);
    ExpectDword("ShlRtClkEn", 1);
    ExpectDword("RecoveryParts", 0);
    EXPECT_EQ(14u, VelkRegistry::ValueNames().size());
    EXPECT_FALSE(store->GetUseMru());
    EXPECT_TRUE(store->GetMinToTray());
    EXPECT_TRUE(store->GetShellMenu());

    EXPECT_EQ(StatusOk, store->Initialize());  // a later start finds everything in place
    EXPECT_EQ(static_cast<DWORD>(REG_OPENED_EXISTING_KEY), store->disposition);
}

TEST_F(SettingsStoreTest, AppPathFollowsTheExecutableAtEveryStart) {
    ASSERT_TRUE(VelkRegistry::WriteText("App Path", "C:\\old\\velk.exe"));
    auto store = Start();
    ExpectText("App Path", ExePath());
}

TEST_F(SettingsStoreTest, StoredLimitAndDefaultOutsideTheRingAreBroughtIntoIt) {
    struct Case {
        DWORD limit, index;        // stored before the start
        DWORD wantLimit, wantIndex;  // in the fields and the registry afterwards
    } cases[] = {
        {9, 8, 5, 1},   {0, 0, 5, 1},  {4294967295u, 4294967295u, 5, 1},
        {3, 6, 3, 1},   // a limit lowered in the preferences below the default index
        {7, 7, 7, 7},   {1, 1, 1, 1},  {3, 2, 3, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("stored limit " + std::to_string(c.limit) + ", default " + std::to_string(c.index));
        ASSERT_TRUE(VelkRegistry::DeleteKey());
        VelkRegistry::WriteDword("MRUDLimit", c.limit);
        VelkRegistry::WriteDword("MRUDDefault", c.index);
        auto store = Start();
        EXPECT_EQ(c.wantLimit, store->mruLimit);
        EXPECT_EQ(c.wantIndex, store->mruDefault);
        ExpectDword("MRUDLimit", c.wantLimit);
        ExpectDword("MRUDDefault", c.wantIndex);
    }
}

TEST_F(SettingsStoreTest, RecoveryPartsOutsideZeroToNinetyNineGiveWayToZero) {
    for (DWORD stored : {0u, 1u, 99u, 100u, 4294967295u}) {
        SCOPED_TRACE("stored " + std::to_string(stored));
        ASSERT_TRUE(VelkRegistry::DeleteKey());
        VelkRegistry::WriteDword("RecoveryParts", stored);
        auto store = Start();
        DWORD want = stored <= 99 ? stored : 0;
        ExpectDword("RecoveryParts", want);
        EXPECT_EQ(want, store->GetRecoveryParts());
        EXPECT_FALSE(store->SetRecoveryParts(100));
        EXPECT_TRUE(store->SetRecoveryParts(99));
    }
}

TEST_F(SettingsStoreTest, NumbersOfTheWrongTypeOrSizeGiveWayToTheDefaults) {
    VelkRegistry::WriteText("MRUDLimit", "seven", 6);  // a text where a number belongs
    VelkRegistry::WriteText("MRUDDefault", std::string(300, '1'), 300);
    auto store = Start();
    EXPECT_EQ(5u, store->mruLimit);
    EXPECT_EQ(1u, store->mruDefault);
    ExpectDword("MRUDLimit", 5);
    ExpectDword("MRUDDefault", 1);
    EXPECT_EQ(5u, store->GetMruLimit());
}

TEST_F(SettingsStoreTest, StartCompletesAllSevenEntriesAndKeepsWhatIsThere) {
    VelkRegistry::WriteDword("MRUDLimit", 3);
    VelkRegistry::WriteText("MRUD1", std::string(260, 'x'), 260);  // no terminator
    VelkRegistry::WriteText("MRUD2", "D:\\keep\\");
    VelkRegistry::WriteText("MRUD3", "D:\\long\\", 300);           // longer than a path
    auto store = Start();
    EXPECT_EQ(3u, store->mruLimit);
    // Kept as it was; reading it back, the registry may add the terminator it has room for.
    EXPECT_EQ(std::string(260, 'x'), VelkRegistry::Read("MRUD1").Text());
    ExpectText("MRUD2", "D:\\keep\\");
    EXPECT_EQ(300u, VelkRegistry::Read("MRUD3").size()) << "an unreadable entry is not replaced";
    for (int i = 4; i <= 7; ++i) ExpectText(SlotName(i), "");  // past the unreadable one too
    ExpectDword("UseMRUD", 0);
}

TEST_F(SettingsStoreTest, ExistingFlagsKeepWhatTheyHoldAndReadAsNonZero) {
    VelkRegistry::WriteDword("UseMRUD", 2);
    VelkRegistry::WriteDword("MinToSysTray", 0);
    auto store = Start();
    ExpectDword("UseMRUD", 2);
    ExpectDword("MinToSysTray", 0);
    ExpectDword("ShlRtClkEn", 1);
    EXPECT_TRUE(store->GetUseMru());
    EXPECT_FALSE(store->GetMinToTray());
    EXPECT_TRUE(store->GetShellMenu());

    EXPECT_TRUE(store->SetMinToTray(true));
    ExpectDword("MinToSysTray", 1);
    EXPECT_TRUE(store->SetUseMru(false));
    ExpectDword("UseMRUD", 0);
    ASSERT_TRUE(VelkRegistry::DeleteValue("ShlRtClkEn"));
    EXPECT_FALSE(store->GetShellMenu());
    EXPECT_EQ(static_cast<LONG>(ERROR_FILE_NOT_FOUND), store->lastError);
}

TEST_F(SettingsStoreTest, AnUnreadableFlagFailsTheStartButTheOtherFlagsAreStillCompleted) {
    VelkRegistry::WriteText("UseMRUD", "yes please");
    auto store = Start();
    EXPECT_EQ(StatusRegistryError, store->Initialize());
    EXPECT_EQ(260u, VelkRegistry::Read("UseMRUD").size());
    EXPECT_FALSE(store->GetUseMru());
    ExpectDword("MinToSysTray", 1);
    ExpectDword("ShlRtClkEn", 1);
}

TEST_F(SettingsStoreTest, WritersRefuseOutOfRangeValuesBeforeTouchingTheRegistry) {
    auto store = Start();
    store->lastError = 4242;
    for (DWORD bad : {0u, 8u, 4294967295u}) {
        EXPECT_FALSE(store->SetMruLimit(bad)) << bad;
        EXPECT_FALSE(store->SetMruDefault(bad)) << bad;
    }
    char text[MAX_PATH] = "D:\\x\\";
    for (int bad : {0, 8, -1}) EXPECT_FALSE(store->SetRecentDir(text, bad)) << bad;
    EXPECT_EQ(4242, store->lastError);
    ExpectDword("MRUDLimit", 5);
    ExpectDword("MRUDDefault", 1);

    EXPECT_TRUE(store->SetMruLimit(7));
    ExpectDword("MRUDLimit", 7);
    EXPECT_EQ(7u, store->GetMruLimit());
    EXPECT_EQ(5u, store->mruLimit) << "a new limit waits for the next start";
    EXPECT_TRUE(store->SetMruDefault(4));
    EXPECT_EQ(1u, store->mruDefault);
}

TEST_F(SettingsStoreTest, NumberReadersTellMissingFromUnreadable) {
    auto store = Start();
    ASSERT_TRUE(VelkRegistry::DeleteValue("MRUDLimit"));
    EXPECT_EQ(StatusNotFound, store->GetMruLimit());
    EXPECT_EQ(static_cast<LONG>(ERROR_FILE_NOT_FOUND), store->lastError);
    VelkRegistry::WriteText("MRUDDefault", "one");
    EXPECT_EQ(StatusRegistryError, store->GetMruDefault());
}

TEST_F(SettingsStoreTest, RecentEntriesReadWithinTheirBufferAndWriteZeroFiller) {
    auto store = Start();
    char buffer[MAX_PATH + 8];
    auto fill = [&buffer] { memset(buffer, 'q', sizeof buffer); };

    for (int bad : {0, 8, -1}) {
        fill();
        EXPECT_EQ(StatusBadIndex, store->GetRecentDir(buffer, bad)) << bad;
        EXPECT_EQ('q', buffer[0]);
    }

    VelkRegistry::WriteText("MRUD1", std::string(300, 'a'), 300);
    fill();
    EXPECT_EQ(StatusRegistryError, store->GetRecentDir(buffer, 1));
    EXPECT_EQ(std::string(sizeof buffer, 'q'), std::string(buffer, sizeof buffer))
        << "a failed read leaves the buffer as it was";

    VelkRegistry::WriteText("MRUD2", std::string(260, 'b'), 260);  // no terminator: no path
    fill();
    EXPECT_EQ(StatusRegistryError, store->GetRecentDir(buffer, 2)) << "never cut to 259";
    VelkRegistry::WriteText("MRUD2", std::string(259, 'b'), 260);
    EXPECT_EQ(StatusOk, store->GetRecentDir(buffer, 2));
    EXPECT_EQ(std::string(259, 'b'), std::string(buffer));
    EXPECT_EQ('q', buffer[MAX_PATH]) << "written past the text and its terminator";

    VelkRegistry::WriteText("MRUD3", "abc", 3);  // short, without terminator
    fill();
    EXPECT_EQ(StatusOk, store->GetRecentDir(buffer, 3));
    EXPECT_EQ("abc", std::string(buffer));
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), store->valueType);

    ASSERT_TRUE(VelkRegistry::DeleteValue("MRUD4"));
    EXPECT_EQ(StatusNotFound, store->GetRecentDir(buffer, 4));

    char dirty[kPathSize];
    memset(dirty, 'z', sizeof dirty);
    memcpy(dirty, "D:\\new\\", 8);
    EXPECT_TRUE(store->SetRecentDir(dirty, 5));
    ExpectText("MRUD5", "D:\\new\\");
    EXPECT_EQ(260u, store->valueSize);
    memset(dirty, 'z', sizeof dirty);  // no terminator at all: nothing stored
    EXPECT_FALSE(store->SetRecentDir(dirty, 6));
    dirty[260] = '\0';                 // 260 characters: no path either
    EXPECT_FALSE(store->SetRecentDir(dirty, 6));
}

TEST_F(SettingsStoreTest, KeyDeletedWhileRunningFailsQuietly) {
    auto store = Start();
    ASSERT_TRUE(VelkRegistry::DeleteKey());
    EXPECT_EQ(StatusRegistryError, store->GetMruLimit());
    EXPECT_FALSE(store->SetMruLimit(3));
    EXPECT_FALSE(store->GetMinToTray());
    EXPECT_FALSE(store->SetMinToTray(true));
    char buffer[MAX_PATH] = "D:\\x\\";
    EXPECT_FALSE(store->SetRecentDir(buffer, 1));
    EXPECT_NE(StatusOk, store->GetRecentDir(buffer, 1));
    EXPECT_EQ(5u, store->mruLimit);
    EXPECT_FALSE(VelkRegistry::KeyExists());
    store.reset();

    auto next = Start();  // the next start builds the key again
    EXPECT_EQ(StatusOk, next->Initialize());
    ExpectDword("MRUDLimit", 5);
}

TEST_F(SettingsStoreTest, AKeyThatCannotBeCreatedLeavesAUsableStore) {
    // HKEY_CURRENT_USER seen through a volatile key, under which no lasting key
    // may be made.
    HKEY volatileRoot = nullptr;
    ASSERT_EQ(ERROR_SUCCESS,
              RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\VelkTestVolatile", 0, nullptr,
                              REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, &volatileRoot, nullptr));
    ASSERT_EQ(ERROR_SUCCESS, RegOverridePredefKey(HKEY_CURRENT_USER, volatileRoot));
    auto store = Start();
    RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    RegCloseKey(volatileRoot);
    RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\VelkTestVolatile");

    EXPECT_EQ(nullptr, store->key);
    EXPECT_NE(ERROR_SUCCESS, store->lastError);
    EXPECT_EQ(5u, store->mruLimit);
    EXPECT_EQ(1u, store->mruDefault);
    EXPECT_EQ(StatusRegistryError, store->GetMruLimit());
    EXPECT_FALSE(store->GetUseMru());
    EXPECT_FALSE(store->SetUseMru(true));
    EXPECT_TRUE(store->AddRecentDir("D:\\x\\"));
    ResetRecentEnumeration();
    char buffer[MAX_PATH] = "";
    int reads = store->NextRecentDir(buffer, RecentFirst) ? 1 : 0;
    while (reads < 50 && store->NextRecentDir(buffer, RecentNext)) ++reads;
    EXPECT_EQ(5, reads);
    EXPECT_FALSE(VelkRegistry::KeyExists());
}
}  // namespace
