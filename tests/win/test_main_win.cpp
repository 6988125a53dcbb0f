// Entry point of the Windows test executable (built with -municode, so the CRT calls wmain).
#include <gtest/gtest.h>

int wmain(int argc, wchar_t** argv) {
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
