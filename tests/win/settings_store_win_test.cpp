// settings.json on disk: the data folder, the start-up load with its quarantine and the save.
#include "persistence/settings_store_win.h"

#include <gtest/gtest.h>

#include "persistence/atomic_file_win.h"
#include "persistence/settings_store.h"
#include "tests/win/temp_folder_win.h"

namespace tide {
namespace {

using test::TempFolder;

class SettingsFile : public testing::Test {
protected:
    TempFolder folder_;
    const std::wstring path_ = folder_ / L"settings.json";
};

TEST(DataFolder, IsTidemeterInTheRoamingApplicationData) {
    const std::wstring folder = data_folder();
    ASSERT_GT(folder.size(), 10u);
    EXPECT_EQ(folder.substr(folder.size() - 10), L"\\Tidemeter");
    EXPECT_NE(folder.find(L"Roaming"), std::wstring::npos);
    EXPECT_EQ(data_file_path(L"C:\\x\\Tidemeter", L"usage.json"), L"C:\\x\\Tidemeter\\usage.json");
    EXPECT_EQ(data_file_path(L"", L"settings.json"), L"settings.json");
}

TEST(DataFolder, TheEnvironmentCanNameAnotherOneOfAnyLength) {
    const std::wstring long_path = L"C:\\" + std::wstring(300, L'd') + L"\\Tidemeter";
    struct Case {
        const wchar_t* value; // null: not set
        std::wstring expected;
    };
    for (const Case& c :
         {Case{L"D:\\Portable\\Data", L"D:\\Portable\\Data"}, Case{long_path.c_str(), long_path},
          Case{L"", data_folder()}, Case{nullptr, data_folder()}}) {
        SetEnvironmentVariableW(k_data_folder_variable, c.value);
        EXPECT_EQ(data_folder_of_run(), c.expected);
    }
    SetEnvironmentVariableW(k_data_folder_variable, nullptr);
}

TEST_F(SettingsFile, NoFileGivesDefaultsAndTheFirstSaveCreatesTheFolderChain) {
    const std::wstring path = folder_ / L"Roaming\\Tidemeter\\settings.json";
    FileAccess access = FileAccess::blocked;
    const Settings settings = load_settings(path, access);
    EXPECT_EQ(settings.load.status, SettingsLoadStatus::no_file);
    EXPECT_EQ(access, FileAccess::writable);
    EXPECT_EQ(GetFileAttributesW((folder_ / L"Roaming").c_str()), INVALID_FILE_ATTRIBUTES);

    ASSERT_TRUE(save_settings(settings, path));
    EXPECT_EQ(read_file_bytes(path), settings_file_text(settings));
    EXPECT_EQ(load_settings(path, access).load.status, SettingsLoadStatus::loaded);
}

class UnreadableSettingsFile : public SettingsFile, public testing::WithParamInterface<const char*> {};

TEST_P(UnreadableSettingsFile, IsMovedAsideAndTheDefaultsAreUsed) {
    ASSERT_TRUE(write_file_atomically(path_, GetParam()));
    FileAccess access = FileAccess::blocked;
    const Settings settings = load_settings(path_, access);
    EXPECT_EQ(settings.load.status, SettingsLoadStatus::unreadable);
    EXPECT_EQ(settings_load_report(settings.load),
              "settings file unreadable; defaults used, original kept as .corrupt");
    EXPECT_EQ(access, FileAccess::writable);
    Settings expected = default_settings();
    expected.load = settings.load;
    EXPECT_EQ(settings, expected);
    EXPECT_FALSE(file_exists(path_));
    EXPECT_EQ(read_file_bytes(path_ + L".corrupt"), GetParam());
}

INSTANTIATE_TEST_SUITE_P(Contents, UnreadableSettingsFile,
                         testing::Values("[]", "", "[{\"schema_version\": 1}]", "\xEF\xBB\xBF{}", "{\"lang"));

TEST_F(SettingsFile, ANewerVersionIsUsedButMarkedReadOnly) {
    const std::string newer = R"({"schema_version": 2, "monitoring": {"interval_ms": 2000}, "future": true})";
    ASSERT_TRUE(write_file_atomically(path_, newer));
    FileAccess access = FileAccess::writable;
    const Settings settings = load_settings(path_, access);
    EXPECT_EQ(access, FileAccess::read_only);
    EXPECT_EQ(settings.monitoring.interval_ms, 2000);
    EXPECT_EQ(settings_load_report(settings.load), "settings written by a newer version; not overwritten");
    EXPECT_EQ(read_file_bytes(path_), newer);
}

TEST_F(SettingsFile, VersionZeroIsRepairedAndReported) {
    ASSERT_TRUE(write_file_atomically(path_, R"({"schema_version": 0, "history_mode": 1})"));
    FileAccess access = FileAccess::blocked;
    const Settings settings = load_settings(path_, access);
    EXPECT_EQ(access, FileAccess::writable);
    EXPECT_EQ(settings.load.status, SettingsLoadStatus::repaired);
    EXPECT_EQ(settings.history_mode, 1);
    EXPECT_EQ(settings_load_report(settings.load), "Some settings were repaired");
}

TEST_F(SettingsFile, AFileThatCannotBeOpenedOrMovedAsideIsNeverOverwritten) {
    for (const char* content : {R"({"history_mode": 1})", "[broken"}) {
        ASSERT_TRUE(write_file_atomically(path_, content));
        // Open without any sharing: neither reading nor renaming can get at it.
        HANDLE exclusive = CreateFileW(path_.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(exclusive, INVALID_HANDLE_VALUE);
        FileAccess access = FileAccess::writable;
        const Settings settings = load_settings(path_, access);
        CloseHandle(exclusive);
        EXPECT_EQ(access, FileAccess::blocked) << content;
        EXPECT_NE(settings_load_report(settings.load), "") << content;
        EXPECT_EQ(settings.history_mode, 0) << content;
        EXPECT_EQ(read_file_bytes(path_), content);
    }
}

TEST_F(SettingsFile, ABlockedFileIsReadOnceItCanBe) {
    ASSERT_TRUE(write_file_atomically(path_, R"({"schema_version": 1, "history_mode": 1})"));
    HANDLE exclusive = CreateFileW(path_.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(exclusive, INVALID_HANDLE_VALUE);
    FileAccess access = FileAccess::writable;
    EXPECT_EQ(load_settings(path_, access).history_mode, 0);
    EXPECT_EQ(access, FileAccess::blocked);
    CloseHandle(exclusive);
    const Settings settings = load_settings(path_, access);
    EXPECT_EQ(access, FileAccess::writable);
    EXPECT_EQ(settings.history_mode, 1);
}

TEST_F(SettingsFile, UnreadableButLockedAgainstRenameIsKept) {
    ASSERT_TRUE(write_file_atomically(path_, "[broken"));
    // Readable, but held without delete sharing, so it cannot be moved aside.
    HANDLE held = CreateFileW(path_.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    FileAccess access = FileAccess::writable;
    const Settings settings = load_settings(path_, access);
    CloseHandle(held);
    EXPECT_EQ(settings.load.status, SettingsLoadStatus::unreadable);
    EXPECT_EQ(access, FileAccess::blocked);
    EXPECT_EQ(settings_load_report(settings.load),
              "settings file unreadable; defaults used, original left in place and not overwritten");
    EXPECT_EQ(read_file_bytes(path_), "[broken");
    EXPECT_FALSE(file_exists(path_ + L".corrupt"));
}

TEST_F(SettingsFile, AFailedSaveReportsFalseAndLeavesTheOldFile) {
    ASSERT_TRUE(write_file_atomically(path_, "old"));
    HANDLE held = CreateFileW(path_.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(save_settings(default_settings(), path_));
    CloseHandle(held);
    EXPECT_EQ(read_file_bytes(path_), "old");
}

} // namespace
} // namespace tide
