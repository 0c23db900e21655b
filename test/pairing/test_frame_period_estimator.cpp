// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// A period learned from header stamps stays put through what cameras and drivers do now and
// then, and follows a camera that really changes its rate.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <optional>
#include <random>
#include <utility>

#include "pairing/synthetic_cameras.hpp"
#include "tavrinox_camera_convertor/pairing/frame_period_estimator.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

using test::kMillisecond;
using test::kSecond;
constexpr std::int64_t k30Hz = kSecond / 30;

TEST(FramePeriodEstimator, LostFramesJitterGapsAndClockStepsLeaveThePeriod)
{
  for (const unsigned seed : {1u, 2u, 3u}) {
    std::mt19937 random(seed);
    test::CameraTiming timing;
    timing.jitter_ns = 2 * kMillisecond;
    timing.loss = 0.1;
    FramePeriodEstimator estimator;
    int stamps = 0;
    for (const test::SyntheticImage & image : test::camera_images(1, timing, 0, 3000, random)) {
      if (image.input == CameraInput::rgb_1) {
        estimator.observe(image.stamp_ns);
        // Known from the third interval on, and within what jitter does to one interval.
        ASSERT_EQ(estimator.period_ns().has_value(), ++stamps > 3) << "seed " << seed;
        // Before that, the shortest interval: never shorter than the period but for jitter.
        ASSERT_EQ(estimator.shortest_interval_ns().has_value(), stamps > 1) << "seed " << seed;
        ASSERT_GE(estimator.shortest_interval_ns().value_or(kSecond), 96 * kMillisecond);
        if (estimator.period_ns()) {
          ASSERT_NEAR(*estimator.period_ns(), 100 * kMillisecond, 4 * kMillisecond);
        }
      }
    }
  }

  FramePeriodEstimator estimator;
  std::int64_t stamp = 100 * kSecond;
  for (const std::int64_t step :
    {std::int64_t{0}, -30 * kSecond, -k30Hz, 5 * kSecond, 3600 * kSecond})
  {
    // A driver restarting its clock, the same stamp twice, a silent input, a clock jump.
    stamp += step;
    for (int i = 0; i < 20; ++i, stamp += k30Hz) {
      estimator.observe(stamp);
      ASSERT_EQ(estimator.period_ns().value_or(k30Hz), k30Hz) << "after a step of " << step;
    }
  }
  for (int i = 0; i < 20; ++i, stamp += k30Hz) {
    // A bridge that sends every image twice.
    estimator.observe(stamp);
    estimator.observe(stamp);
  }
  EXPECT_EQ(estimator.period_ns(), k30Hz);
  estimator.observe(std::numeric_limits<std::int64_t>::min());
  estimator.observe(std::numeric_limits<std::int64_t>::max());  // no overflow
  EXPECT_EQ(estimator.period_ns(), k30Hz);
}

TEST(FramePeriodEstimator, FollowsACameraThatChangesItsRate)
{
  for (const auto & [from, to] : {std::pair{k30Hz, 2 * k30Hz}, std::pair{2 * k30Hz, k30Hz}}) {
    FramePeriodEstimator estimator;
    std::int64_t stamp = 0;
    for (int i = 0; i < 40; ++i, stamp += from) {
      estimator.observe(stamp);
    }
    std::size_t frames = 0;
    for (; estimator.period_ns() != to; ++frames, stamp += to) {
      ASSERT_EQ(estimator.period_ns(), from) << "neither rate";
      ASSERT_LT(frames, FramePeriodEstimator::kIntervals) << "still the old rate";
      estimator.observe(stamp);
    }
    EXPECT_GE(frames, 3u) << "not on one odd interval";
  }
}

}  // namespace
}  // namespace tavrinox_camera_convertor
