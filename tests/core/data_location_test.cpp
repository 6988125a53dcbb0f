// Where a run keeps its files: the variable, the portable marker and the application-data folder.
#include "persistence/data_location.h"

#include <gtest/gtest.h>

namespace tide {
namespace {

TEST(DataLocation, ChoiceTable) {
    struct Case {
        const wchar_t* chosen;
        const wchar_t* program;
        bool marker;
        const wchar_t* expected_folder;
        DataMode expected_mode;
    };
    const wchar_t* roaming = L"C:\\Users\\a\\AppData\\Roaming\\Tidemeter";
    for (const Case& c : {
             Case{L"", L"D:\\Tools\\Tidemeter", false, roaming, DataMode::installed},
             Case{L"", L"D:\\Tools\\Tidemeter", true, L"D:\\Tools\\Tidemeter\\Data", DataMode::portable},
             Case{L"", L"E:\\", true, L"E:\\Data", DataMode::portable}, // a drive's root ends in a separator
             Case{L"", L"", true, roaming, DataMode::installed},        // program folder unknown
             Case{L"T:\\test", L"D:\\Tools\\Tidemeter", true, L"T:\\test", DataMode::chosen},
             Case{L"T:\\test", L"D:\\Tools\\Tidemeter", false, L"T:\\test", DataMode::chosen},
         }) {
        const DataLocation got = choose_data_location({c.chosen, c.program, c.marker, roaming});
        EXPECT_EQ(got.folder, c.expected_folder) << static_cast<int>(c.expected_mode);
        EXPECT_EQ(got.mode, c.expected_mode);
    }
}

TEST(DataLocation, OnlyAnUnwritablePortableFolderStopsSaving) {
    struct Case {
        DataMode mode;
        bool writable;
        DataMode expected;
        bool saves;
    };
    for (const Case& c : {Case{DataMode::portable, false, DataMode::portable_read_only, false},
                          Case{DataMode::portable, true, DataMode::portable, true},
                          Case{DataMode::installed, false, DataMode::installed, true},
                          Case{DataMode::chosen, false, DataMode::chosen, true}}) {
        const DataLocation got = after_write_probe({L"X:\\Data", c.mode}, c.writable);
        EXPECT_EQ(got.mode, c.expected);
        EXPECT_EQ(got.folder, L"X:\\Data");
        EXPECT_EQ(saves_files(got.mode), c.saves);
    }
}

TEST(DataLocation, OnlyAFirstWritablePortableStartOffersTheInstalledFiles) {
    struct Case {
        DataMode mode;
        bool data_has_files;
        bool installed_has_files;
        bool offers;
    };
    for (const Case& c :
         {Case{DataMode::portable, false, true, true},
          Case{DataMode::portable, true, true, false}, // answered, or used before
          Case{DataMode::portable, false, false, false},
          Case{DataMode::portable_read_only, false, true, false}, Case{DataMode::chosen, false, true, false},
          Case{DataMode::installed, false, true, false}}) {
        EXPECT_EQ(offers_installed_files({c.mode, c.data_has_files, c.installed_has_files}), c.offers)
            << static_cast<int>(c.mode) << c.data_has_files << c.installed_has_files;
    }
}

} // namespace
} // namespace tide
