// Whole-file replacement as another program sees it: the target is old or new, never partial, and no
// temporary file stays behind.
#include "persistence/atomic_file_win.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "tests/win/temp_folder_win.h"

namespace tide {
namespace {

using test::TempFolder;

class AtomicFile : public testing::Test {
protected:
    TempFolder folder_;
};

TEST_F(AtomicFile, CreatesTheMissingFolderChain) {
    const std::wstring target = folder_ / L"a\\b/c\\\\settings.json";
    std::string error = "untouched";
    ASSERT_TRUE(write_file_atomically(target, "{}\n", &error));
    EXPECT_EQ(error, "untouched");
    EXPECT_EQ(read_file_bytes(folder_ / L"a\\b\\c\\settings.json"), "{}\n");
    EXPECT_FALSE(file_exists(target + L".tmp"));
}

TEST_F(AtomicFile, ZeroBytesGiveAnEmptyFile) {
    const std::wstring target = folder_ / L"empty.txt";
    ASSERT_TRUE(write_file_atomically(target, ""));
    EXPECT_TRUE(file_exists(target));
    EXPECT_EQ(read_file_bytes(target), "");
}

TEST_F(AtomicFile, BytesPassThroughUnchangedAndAShorterVersionReplacesALongerOne) {
    const std::wstring target = folder_ / L"data.bin";
    const std::string binary("\xEF\xBB\xBF line\r\n\0\x1A end\n", 17);
    ASSERT_TRUE(write_file_atomically(target, std::string(100000, 'x')));
    ASSERT_TRUE(write_file_atomically(target, binary));
    EXPECT_EQ(read_file_bytes(target), binary);
}

TEST_F(AtomicFile, ATargetHeldWithoutDeleteSharingKeepsItsContent) {
    const std::wstring target = folder_ / L"usage.json";
    ASSERT_TRUE(write_file_atomically(target, "old"));
    HANDLE held = CreateFileW(target.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    std::string error;
    EXPECT_FALSE(write_file_atomically(target, "new content", &error));
    EXPECT_EQ(error, "replace failed");
    EXPECT_EQ(read_file_bytes(target), "old");
    EXPECT_FALSE(file_exists(target + L".tmp"));
    CloseHandle(held);
    EXPECT_TRUE(write_file_atomically(target, "new content"));
    EXPECT_EQ(read_file_bytes(target), "new content");
}

TEST_F(AtomicFile, TheTargetKeepsItsHiddenAttribute) {
    const std::wstring target = folder_ / L"settings.json";
    ASSERT_TRUE(write_file_atomically(target, "old"));
    SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_HIDDEN);
    ASSERT_TRUE(write_file_atomically(target, "new"));
    EXPECT_EQ(read_file_bytes(target), "new");
    EXPECT_TRUE(GetFileAttributesW(target.c_str()) & FILE_ATTRIBUTE_HIDDEN);
}

TEST_F(AtomicFile, AStaleTemporaryFileIsReusedAndRemoved) {
    const std::wstring target = folder_ / L"settings.json";
    ASSERT_TRUE(write_file_atomically(target, "old"));
    for (const DWORD attributes : {DWORD{FILE_ATTRIBUTE_NORMAL}, DWORD{FILE_ATTRIBUTE_READONLY}}) {
        HANDLE stale = CreateFileW((target + L".tmp").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(stale, INVALID_HANDLE_VALUE);
        DWORD written = 0;
        WriteFile(stale, "stale and much longer than the new text", 39, &written, nullptr);
        CloseHandle(stale);
        SetFileAttributesW((target + L".tmp").c_str(), attributes);

        ASSERT_TRUE(write_file_atomically(target, "new"));
        EXPECT_EQ(read_file_bytes(target), "new");
        EXPECT_FALSE(file_exists(target + L".tmp"));
    }
}

TEST_F(AtomicFile, ATemporaryFileThatCannotBeCreatedFailsBeforeTouchingAnything) {
    ASSERT_TRUE(write_file_atomically(folder_ / L"blocker", "a file where a folder should be"));
    std::string error;
    EXPECT_FALSE(write_file_atomically(folder_ / L"blocker\\settings.json", "{}", &error));
    EXPECT_EQ(error, "cannot open temp file");
    EXPECT_EQ(read_file_bytes(folder_ / L"blocker"), "a file where a folder should be");
}

TEST_F(AtomicFile, ReadingAMissingFileGivesNothing) {
    EXPECT_FALSE(read_file_bytes(folder_ / L"missing.json"));
    EXPECT_FALSE(read_file_bytes(folder_ / L"no\\such\\folder.json"));
}

// A file that opens but whose read fails must not look like an empty (and so broken) file: the
// loaders would move the user's good copy aside and write defaults over it. Under Wine the process's
// own memory file on the Linux side opens and then refuses every read at offset 0.
TEST(ReadFileBytes, AFailedReadGivesNothingRatherThanAnEmptyText) {
    if (GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") == nullptr) {
        GTEST_SKIP() << "needs Wine's view of the Linux file system";
    }
    const std::wstring opens_but_fails = L"Z:\\proc\\self\\mem";
    ASSERT_TRUE(file_exists(opens_but_fails));
    EXPECT_EQ(read_file_bytes(opens_but_fails), std::nullopt);
}

TEST_F(AtomicFile, QuarantineReplacesAnOlderQuarantinedCopy) {
    const std::wstring target = folder_ / L"usage.json";
    ASSERT_TRUE(write_file_atomically(target + L".corrupt", "older"));
    ASSERT_TRUE(write_file_atomically(target, "[broken"));
    EXPECT_TRUE(quarantine_file(target));
    EXPECT_FALSE(file_exists(target));
    EXPECT_EQ(read_file_bytes(target + L".corrupt"), "[broken");
    EXPECT_FALSE(quarantine_file(target));
}

} // namespace
} // namespace tide
