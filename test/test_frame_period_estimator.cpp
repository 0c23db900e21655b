// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// A frame period learned from header stamps stays put through what cameras and drivers do now
// and then, and follows a camera that really changes its rate.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <optional>
#include <random>
#include <utility>

#include "synthetic_cameras.hpp"
#include "tavrinox_camera_convertor/frame_period_estimator.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

using test::kMillisecond;
using test::kSecond;

constexpr std::int64_t k30Hz = kSecond / 30;

/// @brief An estimator that has seen `frames` stamps `period` apart from `start`.
FramePeriodEstimator regular(std::int64_t start, std::int64_t period, int frames)
{
  FramePeriodEstimator estimator;
  for (int i = 0; i < frames; ++i) {
    estimator.observe(start + i * period);
  }
  return estimator;
}

TEST(FramePeriodEstimator, IsKnownAfterThreeIntervals)
{
  FramePeriodEstimator estimator;
  EXPECT_EQ(estimator.period_ns(), std::nullopt);
  for (int i = 0; i < 3; ++i) {
    estimator.observe(5 * kSecond + i * k30Hz);
    EXPECT_EQ(estimator.period_ns(), std::nullopt) << "after " << i + 1 << " stamps";
  }
  estimator.observe(5 * kSecond + 3 * k30Hz);
  EXPECT_EQ(estimator.period_ns(), k30Hz);
}

TEST(FramePeriodEstimator, LostFramesAndJitterLeaveThePeriod)
{
  for (const unsigned seed : {1u, 2u, 3u}) {
    std::mt19937 random(seed);
    test::CameraTiming timing;
    timing.jitter_ns = 2 * kMillisecond;
    timing.loss = 0.1;
    FramePeriodEstimator estimator;
    int known_for = 0;
    for (const test::SyntheticImage & image : test::camera_images(1, timing, 0, 3000, random)) {
      if (image.input != CameraInput::rgb_1) {
        continue;
      }
      estimator.observe(image.stamp_ns);
      if (const std::optional<std::int64_t> period = estimator.period_ns()) {
        ++known_for;
        // Within what two stamps' jitter can do to one interval.
        ASSERT_NEAR(*period, 100 * kMillisecond, 4 * kMillisecond)
          << "seed " << seed << ", frame " << image.frame;
      }
    }
    EXPECT_GT(known_for, 2500) << "seed " << seed;
  }
}

TEST(FramePeriodEstimator, StepsBackGapsAndClockJumpsLeaveThePeriod)
{
  FramePeriodEstimator estimator = regular(100 * kSecond, k30Hz, 20);
  std::int64_t stamp = 100 * kSecond + 19 * k30Hz;
  const auto next = [&](std::int64_t interval) {
      stamp += interval;
      estimator.observe(stamp);
      return estimator.period_ns();
    };
  EXPECT_EQ(next(-30 * kSecond), k30Hz) << "a driver restarting its clock 30 s back";
  EXPECT_EQ(next(k30Hz), k30Hz) << "measured from the restarted clock";
  EXPECT_EQ(next(0), k30Hz) << "the same stamp again";
  EXPECT_EQ(next(5 * kSecond), k30Hz) << "the input silent for 5 s";
  EXPECT_EQ(next(3600 * kSecond), k30Hz) << "the clock jumping an hour ahead";
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(next(k30Hz), k30Hz);
  }

  // Stamps at the ends of their range: no interval overflows.
  FramePeriodEstimator extreme = regular(std::numeric_limits<std::int64_t>::min(), k30Hz, 5);
  extreme.observe(std::numeric_limits<std::int64_t>::max());
  extreme.observe(std::numeric_limits<std::int64_t>::min());
  EXPECT_EQ(extreme.period_ns(), k30Hz);
}

TEST(FramePeriodEstimator, FollowsACameraThatChangesItsRate)
{
  for (const auto & [from, to] : {std::pair{k30Hz, 2 * k30Hz}, std::pair{2 * k30Hz, k30Hz}}) {
    FramePeriodEstimator estimator = regular(0, from, 40);
    std::int64_t stamp = 39 * from;
    std::size_t frames_to_follow = 0;
    while (estimator.period_ns() != to) {
      ASSERT_EQ(estimator.period_ns(), from) << "neither rate after " << frames_to_follow;
      ASSERT_LT(frames_to_follow, FramePeriodEstimator::kIntervals) << "still the old rate";
      stamp += to;
      estimator.observe(stamp);
      ++frames_to_follow;
    }
    // Not on one odd interval.
    EXPECT_GE(frames_to_follow, 3u) << from << " to " << to;
  }
}

}  // namespace
}  // namespace tavrinox_camera_convertor
