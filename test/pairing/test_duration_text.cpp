// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// Durations in log lines, rounded to what is shown.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "tavrinox_camera_convertor/pairing/duration_text.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

constexpr std::int64_t kMs = 1000000;

TEST(DurationText, WholeMillisecondsBelowASecondTenthsOfSecondsFromIt)
{
  EXPECT_EQ(duration_text(45 * kMs + kMs / 2 - 1), "45 ms");
  EXPECT_EQ(duration_text(999 * kMs + kMs / 2 - 1), "999 ms");
  EXPECT_EQ(duration_text(999 * kMs + kMs / 2), "1.0 s") << "not 1000 ms";
  EXPECT_EQ(duration_text(3049 * kMs), "3.0 s");
  EXPECT_EQ(duration_text(3050 * kMs), "3.1 s");
  EXPECT_EQ(duration_text(-12400 * kMs), "12.4 s") << "the magnitude";
  EXPECT_EQ(duration_text(std::numeric_limits<std::int64_t>::min()), "9223372036.9 s");
  EXPECT_EQ(milliseconds_text(1000 * kMs / 30), "33.3 ms");
  EXPECT_EQ(milliseconds_text(1000 * kMs / 60), "16.7 ms");
}

}  // namespace
}  // namespace tavrinox_camera_convertor
