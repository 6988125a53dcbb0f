// Entry point of the Windows test executable (built with -municode, so the CRT calls wmain).
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cwchar>

#include "tests/win/crash_writer_win.h"

namespace {

// A test that dies of an unhandled exception must fail: under Wine the debugger it starts lets the
// process end with exit code 0, which ctest would take for a pass.
LONG WINAPI fail_on_crash(EXCEPTION_POINTERS* info) {
    const DWORD code = info && info->ExceptionRecord ? info->ExceptionRecord->ExceptionCode : 0;
    std::fprintf(stderr, "unhandled exception 0x%08lx: the test process ends\n",
                 static_cast<unsigned long>(code));
    std::fflush(stderr);
    TerminateProcess(GetCurrentProcess(), 3);
    return EXCEPTION_EXECUTE_HANDLER;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    // The crash-safety test starts this executable again as its writer process.
    if (argc == 4 && std::wcscmp(argv[1], tide::test::k_crash_writer_argument) == 0) {
        return tide::test::run_crash_writer(argv[2], argv[3]);
    }
    SetUnhandledExceptionFilter(fail_on_crash);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
