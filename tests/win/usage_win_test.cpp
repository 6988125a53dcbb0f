// usage.json at start-up and on save, the CSV file, and today's day from the system's clock.
#include "persistence/usage_win.h"

#include <gtest/gtest.h>

#include <chrono>
#include <limits>
#include <string>
#include <vector>

#include "persistence/atomic_file_win.h"
#include "persistence/file_writer.h"
#include "tests/win/temp_folder_win.h"

namespace tide {
namespace {

using test::TempFolder;

class UsageFile : public testing::Test {
protected:
    UsageFile() { history_.path = folder_ / L"usage.json"; }

    std::vector<std::string> error_texts() const {
        std::vector<std::string> texts;
        for (const ErrorEntry& entry : errors_.entries()) {
            texts.push_back(entry.text);
        }
        return texts;
    }

    TempFolder folder_;
    UsageHistory history_;
    RecentErrors errors_;
    const int64_t today_ = local_day_number();
};

TEST(LocalDayNumber, AgreesWithTheSystemsLocalDate) {
    for (int attempt = 0; attempt < 3; ++attempt) { // a midnight between the two reads is retried
        SYSTEMTIME local{};
        GetLocalTime(&local);
        const int64_t day = local_day_number();
        if (day == day_from_civil({local.wYear, local.wMonth, local.wDay})) {
            return;
        }
    }
    ADD_FAILURE() << "local_day_number disagrees with GetLocalTime";
}

TEST_F(UsageFile, AMissingFileGivesAnEmptyStoreSilently) {
    load_usage(history_, {30, 1}, errors_);
    EXPECT_TRUE(history_.store.empty());
    EXPECT_TRUE(history_.file_read);
    EXPECT_FALSE(history_.keep_file);
    EXPECT_TRUE(errors_.entries().empty());
}

// A day older than the retention, the month and the billing period lives on in its period's total.
TEST_F(UsageFile, LoadingPrunesToTheRetentionWithoutMarkingChanges) {
    UsageStore stored;
    stored.add(today_ - 70, 1, 1);
    stored.add(today_ - 29, 2, 2);
    stored.add(today_, 3, 3);
    ASSERT_TRUE(write_file_atomically(history_.path, usage_file_text(stored)));
    load_usage(history_, {30, 1}, errors_);
    UsageStore expected;
    expected.add(today_ - 29, 2, 2);
    expected.add(today_, 3, 3);
    EXPECT_EQ(history_.store.days(), expected.days());
    EXPECT_EQ(history_.store.sum(month_start(today_ - 70), today_), (DayTotals{6, 6}));
    EXPECT_FALSE(history_.dirty);
}

TEST_F(UsageFile, AnUnreadableFileIsMovedAsideAndReported) {
    for (const char* content : {"", "[]", "{\"days\": [[1, 2, 3]]"}) {
        ASSERT_TRUE(write_file_atomically(history_.path, content));
        history_ = UsageHistory{{}, history_.path};
        load_usage(history_, {30, 1}, errors_);
        EXPECT_TRUE(history_.store.empty());
        EXPECT_FALSE(file_exists(history_.path));
        EXPECT_EQ(read_file_bytes(history_.path + L".corrupt"), content);
        EXPECT_FALSE(history_.keep_file);
    }
    EXPECT_EQ(error_texts(),
              std::vector<std::string>(3, "Usage history file was unreadable and has been reset"));
}

// Antivirus, backup or sync holding the file at start-up: it is never written over while it cannot
// be read, and the save after it becomes readable adds this run's counts to its days.
TEST_F(UsageFile, AFileHeldAtStartUpIsKeptThenReadAtALaterSave) {
    UsageStore stored;
    stored.add(today_ - 1, 2, 3);
    const std::string text = usage_file_text(stored);
    ASSERT_TRUE(write_file_atomically(history_.path, text));
    HANDLE exclusive =
        CreateFileW(history_.path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(exclusive, INVALID_HANDLE_VALUE);
    load_usage(history_, {30, 1}, errors_);
    EXPECT_TRUE(history_.keep_file);
    history_.store.add(today_, 10, 10);
    history_.dirty = true;
    EXPECT_FALSE(save_usage(history_, 1, {30, 1}, errors_));
    EXPECT_FALSE(save_usage(history_, 1, {30, 1}, errors_));
    CloseHandle(exclusive);
    EXPECT_EQ(read_file_bytes(history_.path), text);
    EXPECT_EQ(error_texts(), std::vector<std::string>{
                                 "Usage history file could not be read; it is not written until it can be"});

    EXPECT_TRUE(save_usage(history_, 1, {30, 1}, errors_));
    stored.add(today_, 10, 10);
    EXPECT_EQ(read_file_bytes(history_.path), usage_file_text(stored));
    EXPECT_FALSE(history_.keep_file);
}

// One spurious counter jump must not cost the day: what the store holds is what the next start reads.
TEST_F(UsageFile, AHugeDayIsReadBackAtTheNextStart) {
    load_usage(history_, {30, 1}, errors_);
    history_.store.add(today_, 5'000, 6'000);
    history_.store.add(today_, std::numeric_limits<uint64_t>::max() / 2, 0);
    history_.dirty = true;
    ASSERT_TRUE(save_usage(history_, 1, {30, 1}, errors_));
    UsageHistory next;
    next.path = history_.path;
    load_usage(next, {30, 1}, errors_);
    EXPECT_EQ(next.store, history_.store);
    EXPECT_EQ(next.store.get(today_).upload, 6'000u);
}

TEST_F(UsageFile, SavesOnlyChangesAndOnlyWhenHistoryIsKept) {
    load_usage(history_, {30, 1}, errors_);
    history_.store.add(today_, 1536, 512);
    EXPECT_FALSE(save_usage(history_, 1, {30, 1}, errors_)); // not marked as changed
    history_.dirty = true;
    EXPECT_FALSE(save_usage(history_, 0, {30, 1}, errors_));
    EXPECT_FALSE(file_exists(history_.path));

    history_.store.add(today_ - 1, 1, 1);
    history_.store.add(today_ - 800, 1, 1); // pruned before the save, and older than any kept month
    EXPECT_TRUE(save_usage(history_, 1, {30, 1}, errors_));
    EXPECT_FALSE(history_.dirty);
    UsageStore expected;
    expected.add(today_ - 1, 1, 1);
    expected.add(today_, 1536, 512);
    EXPECT_EQ(read_file_bytes(history_.path), usage_file_text(expected));
    EXPECT_TRUE(errors_.entries().empty());
}

TEST_F(UsageFile, AFailedSaveIsReportedAndRetried) {
    ASSERT_TRUE(write_file_atomically(history_.path, usage_file_text({})));
    load_usage(history_, {30, 1}, errors_);
    history_.store.add(today_, 5, 5);
    history_.dirty = true;
    HANDLE held = CreateFileW(history_.path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(save_usage(history_, 1, {30, 1}, errors_));
    CloseHandle(held);
    EXPECT_TRUE(history_.dirty);
    EXPECT_EQ(error_texts(), std::vector<std::string>{"Could not save usage history: replace failed"});
    EXPECT_TRUE(save_usage(history_, 1, {30, 1}, errors_));
    EXPECT_EQ(read_file_bytes(history_.path), usage_file_text(history_.store));
}

TEST_F(UsageFile, SwitchingHistoryOnAddsThisRunToTheDaysOnDisk) {
    UsageStore earlier;
    earlier.add(today_ - 1, 100, 10);
    earlier.add(today_, 1, 1);
    ASSERT_TRUE(write_file_atomically(history_.path, usage_file_text(earlier)));
    // history_mode was 0 at start-up: nothing was loaded; this run counted traffic anyway.
    history_.store.add(today_, 5, 5);
    history_.dirty = true;
    EXPECT_TRUE(save_usage(history_, 1, {30, 1}, errors_));
    UsageStore expected;
    expected.add(today_ - 1, 100, 10);
    expected.add(today_, 6, 6);
    EXPECT_EQ(history_.store, expected);
    EXPECT_EQ(read_file_bytes(history_.path), usage_file_text(expected));
}

TEST_F(UsageFile, ClearingWhileTheFileWasNotReadEmptiesTheFileToo) {
    UsageStore earlier;
    earlier.add(today_ - 1, 100, 10);
    ASSERT_TRUE(write_file_atomically(history_.path, usage_file_text(earlier)));
    history_.store.add(today_, 5, 5); // history switched on during the run, file not read yet
    clear_usage(history_);
    EXPECT_TRUE(save_usage(history_, 1, {30, 1}, errors_));
    EXPECT_TRUE(history_.store.empty());
    EXPECT_EQ(read_file_bytes(history_.path), usage_file_text(UsageStore{}));
}

TEST_F(UsageFile, CsvIsWrittenOrReported) {
    UsageStore store;
    store.add(19723, 1536, 512);
    ASSERT_TRUE(write_usage_csv(folder_ / L"Tidemeter-usage.csv", store, errors_));
    EXPECT_EQ(read_file_bytes(folder_ / L"Tidemeter-usage.csv"),
              "date,download_bytes,upload_bytes,network\n2024-01-01,1536,512,Other networks\n");
    ASSERT_TRUE(write_file_atomically(folder_ / L"blocker", "x"));
    EXPECT_FALSE(write_usage_csv(folder_ / L"blocker\\usage.csv", store, errors_));
    EXPECT_EQ(error_texts(), std::vector<std::string>{"Could not write the usage CSV"});
}

// The user exported onto a sheet another program held open, saw the failure, then saved the sheet
// there: the next save of the program's own files never brings the old export back.
TEST_F(UsageFile, AFailedExportIsNotWrittenAfterTheFileIsFree) {
    const std::wstring csv = folder_ / L"Tidemeter-usage.csv";
    ASSERT_TRUE(write_file_atomically(csv, "the user's sheet"));
    HANDLE held = CreateFileW(csv.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    FileWriter writer([](const std::wstring& path, std::string_view bytes,
                         std::string* error) { return write_file_atomically(path, bytes, error); },
                      {});
    std::string outcomes;
    const auto record = [&](bool written, const std::string&) {
        outcomes += written ? "written " : "failed ";
    };
    UsageStore store;
    store.add(today_, 1, 1);
    writer.save({csv, usage_csv_text(store), record, false});
    writer.flush(std::chrono::seconds(30));
    CloseHandle(held);
    ASSERT_TRUE(write_file_atomically(csv, "the user's sheet, saved again"));
    writer.save({history_.path, usage_file_text(store), record});
    EXPECT_TRUE(writer.finish(std::chrono::seconds(30)));
    writer.deliver_outcomes();
    EXPECT_EQ(outcomes, "failed written "); // the export failed once, the usage was written
    EXPECT_EQ(read_file_bytes(csv), "the user's sheet, saved again");
    EXPECT_EQ(read_file_bytes(history_.path), usage_file_text(store));
}

} // namespace
} // namespace tide
