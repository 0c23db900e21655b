// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

#include "completion_statistics.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

/// A `rows` x (values / rows) depth image of row-major millimetres.
cv::Mat1w depth(int rows, const std::vector<std::uint16_t> & values)
{
  return cv::Mat1w(values, true).reshape(1, rows).clone();
}

TEST(CompletionStatistics, CountsHolesAndFilledHolesWithoutTruth)
{
  // 2 x 4: holes at four pixels, two of them filled.
  const cv::Mat1w measured = depth(2, {0, 1000, 0, 0, 1200, 0, 1300, 1400});
  const cv::Mat1w completed = depth(2, {900, 1000, 0, 0, 1200, 1100, 1300, 1400});
  const CompletionStatistics statistics = measure_completion(measured, completed, cv::Mat());
  EXPECT_EQ(statistics.pixels, 8u);
  EXPECT_EQ(statistics.holes, 4u);
  EXPECT_EQ(statistics.filled, 2u);
  EXPECT_DOUBLE_EQ(statistics.hole_percent(), 50.0);
  EXPECT_DOUBLE_EQ(statistics.filled_percent(), 50.0);
  EXPECT_FALSE(statistics.truth.has_value());
}

TEST(CompletionStatistics, ScoresFilledHolesAgainstTheTruth)
{
  // Holes: (0,0) filled +10 mm, (0,2) unfilled, (0,3) filled where the truth has no depth,
  // (1,1) filled -30 mm, (1,2) filled exactly.
  const cv::Mat1w measured = depth(2, {0, 1000, 0, 0, 1200, 0, 0, 1400});
  const cv::Mat1w completed = depth(2, {1010, 1000, 0, 777, 1200, 1070, 1500, 1400});
  const cv::Mat1w truth = depth(2, {1000, 1000, 1100, 0, 1200, 1100, 1500, 1400});
  const CompletionStatistics statistics = measure_completion(measured, completed, truth);
  ASSERT_TRUE(statistics.truth.has_value());
  EXPECT_EQ(statistics.holes, 5u);
  EXPECT_EQ(statistics.filled, 4u);
  EXPECT_EQ(statistics.truth->fillable, 4u);
  EXPECT_EQ(statistics.truth->filled, 3u);
  EXPECT_EQ(statistics.truth->filled_without_truth, 1u);
  EXPECT_DOUBLE_EQ(statistics.truth->fill_rate_percent(), 75.0);
  // Errors 10, 30 and 0: nearest-rank median 10, 90th percentile 30.
  EXPECT_EQ(statistics.truth->median_error_mm, 10);
  EXPECT_EQ(statistics.truth->p90_error_mm, 30);
}

TEST(CompletionStatistics, PercentilesFollowTheNearestRank)
{
  // Ten holes all filled, errors 1..10 mm in scrambled order.
  const std::vector<std::uint16_t> errors = {7, 3, 10, 1, 9, 2, 8, 4, 6, 5};
  std::vector<std::uint16_t> filled;
  for (const std::uint16_t error : errors) {
    filled.push_back(static_cast<std::uint16_t>(2000 + error));
  }
  const cv::Mat1w measured = depth(1, std::vector<std::uint16_t>(10, 0));
  const CompletionStatistics statistics =
    measure_completion(measured, depth(1, filled), depth(1, std::vector<std::uint16_t>(10, 2000)));
  ASSERT_TRUE(statistics.truth.has_value());
  EXPECT_EQ(statistics.truth->median_error_mm, 5);
  EXPECT_EQ(statistics.truth->p90_error_mm, 9);
}

TEST(CompletionStatistics, NoHolesMeansNothingToScore)
{
  const cv::Mat1w full = depth(1, {1000, 1000, 1000});
  const CompletionStatistics statistics = measure_completion(full, full, full);
  EXPECT_EQ(statistics.holes, 0u);
  EXPECT_DOUBLE_EQ(statistics.filled_percent(), 0.0);
  ASSERT_TRUE(statistics.truth.has_value());
  EXPECT_DOUBLE_EQ(statistics.truth->fill_rate_percent(), 0.0);
  EXPECT_EQ(statistics.truth->median_error_mm, 0);
}

TEST(CompletionStatistics, RejectsImagesOfAnotherSizeOrType)
{
  const cv::Mat1w measured = depth(2, {0, 0, 0, 0});
  EXPECT_THROW(
    measure_completion(
      measured, depth(1, {0, 0, 0, 0}),
      cv::Mat()), std::invalid_argument);
  EXPECT_THROW(
    measure_completion(measured, measured, depth(1, {0, 0, 0, 0})),
    std::invalid_argument);
  EXPECT_THROW(
    measure_completion(
      cv::Mat1b(2, 2, std::uint8_t{0}), measured,
      cv::Mat()), std::invalid_argument);
}

}  // namespace
}  // namespace tavrinox_camera_convertor
