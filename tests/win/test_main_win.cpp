// Entry point of the Windows test executable (built with -municode, so the CRT calls wmain).
#include <gtest/gtest.h>

#include <cwchar>

#include "tests/win/crash_writer_win.h"

int wmain(int argc, wchar_t** argv) {
    // The crash-safety test starts this executable again as its writer process.
    if (argc == 4 && std::wcscmp(argv[1], tide::test::k_crash_writer_argument) == 0) {
        return tide::test::run_crash_writer(argv[2], argv[3]);
    }
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
