// The end of the Windows session within Windows' 5 s: what the last measurement and the writer may take.
#include "app/session_end.h"

#include <gtest/gtest.h>

namespace tide::app {
namespace {

TEST(SessionEnd, WhatIsLeftOfTheFourSeconds) {
    EXPECT_EQ(session_time_left(0), 4000);
    EXPECT_EQ(session_time_left(3999), 1);
    EXPECT_EQ(session_time_left(4000), 0);
    EXPECT_EQ(session_time_left(4001), 0);
    EXPECT_EQ(session_time_left(-5), 4000); // a clock that went back takes nothing
}

TEST(SessionEnd, TheLastMeasurementGetsOnlyWhatIsLeft) {
    EXPECT_EQ(last_measure_limit(0, 2000), 2000);
    EXPECT_EQ(last_measure_limit(2000, 2000), 2000); // exactly the usual time left
    EXPECT_EQ(last_measure_limit(2001, 2000), 1999);
    EXPECT_EQ(last_measure_limit(3999, 2000), 1);
    EXPECT_EQ(last_measure_limit(4000, 2000), 0);
    EXPECT_EQ(last_measure_limit(4001, 2000), 0);
}

} // namespace
} // namespace tide::app
