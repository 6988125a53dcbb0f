#include <gtest/gtest.h>

#include <string_view>

namespace tide {
extern const std::string_view k_builtin_english;
}

TEST(BuiltinEnglish, IsTheEnglishPackFile) {
    EXPECT_TRUE(tide::k_builtin_english.starts_with("{\n  \"status.connected\": \"Connected\","));
    EXPECT_TRUE(tide::k_builtin_english.ends_with("}\n"));
}
