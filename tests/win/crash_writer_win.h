// The writer process of the crash-safety test: the test executable started with this argument.
#pragma once

namespace tide::test {

inline constexpr wchar_t k_crash_writer_argument[] = L"--crash-writer";

// Saves settings.json and usage.json in the folder in an endless loop with changing content.
int run_crash_writer(const wchar_t* folder, const wchar_t* today_text);

} // namespace tide::test
