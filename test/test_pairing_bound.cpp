// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// The bound on a set's stamps takes every set whose images show one moment and refuses a set
// that takes an image of the neighbouring frame, as cameras really run: free-running, jittered,
// losing images, at different rates, restarting their clocks.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "synthetic_cameras.hpp"
#include "tavrinox_camera_convertor/pairing_bound.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

using test::kMillisecond;
using test::kSecond;

constexpr std::int64_t k30Hz = kSecond / 30;

/// Every stamp of a run by input and frame number, to build candidate sets from.
class StampTable
{
public:
  StampTable(const std::vector<test::SyntheticImage> & images, int frames)
  {
    for (auto & stamps : stamps_) {
      stamps.resize(static_cast<std::size_t>(frames));
    }
    for (const test::SyntheticImage & image : images) {
      stamps_[index_of(image.input)][static_cast<std::size_t>(image.frame)] = image.stamp_ns;
    }
  }

  /// @brief The set of these frames of each input; none if one of its images was lost.
  std::optional<InputStamps> set(int rgb_1, int depth_1, int rgb_2, int depth_2) const
  {
    InputStamps stamps{};
    const int frames[] = {rgb_1, depth_1, rgb_2, depth_2};
    for (std::size_t i = 0; i < kCameraInputCount; ++i) {
      const auto & column = stamps_[i];
      if (frames[i] < 0 || frames[i] >= static_cast<int>(column.size()) ||
        !column[static_cast<std::size_t>(frames[i])])
      {
        return std::nullopt;
      }
      stamps[i] = *column[static_cast<std::size_t>(frames[i])];
    }
    return stamps;
  }

private:
  std::array<std::vector<std::optional<std::int64_t>>, kCameraInputCount> stamps_;
};

/// @brief Observes `images` in order up to, not including, the first of a frame after `frame`.
void observe_through(
  PairingBound & bound, const std::vector<test::SyntheticImage> & images, std::size_t & next,
  int frame)
{
  while (next < images.size() && images[next].frame <= frame) {
    bound.observe(images[next].input, images[next].stamp_ns);
    ++next;
  }
}

/// @brief A set spanning `spread_ns`, for the parameter's modes.
InputStamps spanning(std::int64_t spread_ns)
{
  return {50 * kSecond, 50 * kSecond + spread_ns / 2, 50 * kSecond + spread_ns, 50 * kSecond};
}

/// @brief Lets every input of `bound` learn a 10 Hz period.
void learn_10_hz(PairingBound & bound)
{
  for (int frame = 0; frame < 10; ++frame) {
    for (const CameraInput input : kCameraInputs) {
      bound.observe(input, frame * 100 * kMillisecond);
    }
  }
}

TEST(PairingBound, TheParameterChoosesLearnedOffOrFixed)
{
  for (const double learned_value : {-1.0, -0.001}) {
    PairingBound learned(learned_value);
    EXPECT_EQ(learned.mode(), PairingBound::Mode::learned);
    EXPECT_EQ(learned.bound_ns(), std::nullopt);
    EXPECT_TRUE(learned.accepts(spanning(12 * kSecond))) << "unlimited before a period is known";
    EXPECT_EQ(
      learned.description(), "learned: unlimited until an input's frame period is known");
    learn_10_hz(learned);
    EXPECT_EQ(learned.bound_ns(), 50 * kMillisecond);
    EXPECT_EQ(
      learned.description(), "learned: 50.0 ms (half of camera 1 colour's 100.0 ms period)");
  }
  EXPECT_EQ(PairingBound().mode(), PairingBound::Mode::learned) << "the default";

  PairingBound off(0.0);
  learn_10_hz(off);
  EXPECT_EQ(off.mode(), PairingBound::Mode::off);
  EXPECT_EQ(off.bound_ns(), std::nullopt);
  EXPECT_TRUE(off.accepts(spanning(12 * kSecond)));
  EXPECT_EQ(off.description(), "off");
  EXPECT_EQ(off.period_ns(CameraInput::depth_2), 100 * kMillisecond) << "learned for diagnostics";

  PairingBound fixed(0.02);
  EXPECT_EQ(fixed.mode(), PairingBound::Mode::fixed);
  EXPECT_EQ(fixed.bound_ns(), 20 * kMillisecond);
  learn_10_hz(fixed);
  EXPECT_EQ(fixed.bound_ns(), 20 * kMillisecond) << "the periods do not move a fixed bound";
  EXPECT_TRUE(fixed.accepts(spanning(20 * kMillisecond)));
  EXPECT_FALSE(fixed.accepts(spanning(20 * kMillisecond + 1)));
  EXPECT_EQ(fixed.description(), "fixed: 20.0 ms");
}

TEST(PairingBound, ALearnedBoundIsHalfTheShortestPeriodAndSaysWhose)
{
  PairingBound bound;
  for (int frame = 0; frame < 20; ++frame) {
    bound.observe(CameraInput::depth_1, frame * k30Hz);
    bound.observe(CameraInput::depth_2, frame * k30Hz);
    if (frame % 2 == 0) {
      bound.observe(CameraInput::rgb_1, frame * k30Hz);
      bound.observe(CameraInput::rgb_2, frame * k30Hz);
    }
  }
  EXPECT_EQ(bound.fastest_input(), CameraInput::depth_1) << "the first of two as fast";
  EXPECT_EQ(bound.bound_ns(), k30Hz / 2);
  EXPECT_EQ(bound.description(), "learned: 16.7 ms (half of camera 1 depth's 33.3 ms period)");
}

TEST(PairingBound, RefusesValuesThatAreNoDurationNamingTheParameter)
{
  try {
    PairingBound bound(std::nan(""));
    ADD_FAILURE() << "NaN taken";
  } catch (const std::invalid_argument & error) {
    EXPECT_STREQ(
      error.what(),
      "parameter max_set_interval = nan: must be a finite number (negative: learned from the "
      "cameras' frame periods, 0: off, positive: the largest time in seconds between the stamps "
      "of one set)");
  }
  const double infinity = std::numeric_limits<double>::infinity();
  for (const auto & [value, expected] : {
        std::pair{infinity, "max_set_interval = inf: must be a finite number"},
        std::pair{-infinity, "max_set_interval = -inf: must be a finite number"},
        std::pair{1e10, "max_set_interval = 1e+10: is too large; 0 turns the bound off"}})
  {
    try {
      PairingBound bound(value);
      ADD_FAILURE() << value << " taken";
    } catch (const std::invalid_argument & error) {
      EXPECT_NE(std::string(error.what()).find(expected), std::string::npos) << error.what();
    }
  }
}

/// How many candidates a run offered.
struct Checked
{
  int true_sets = 0;
  int mixed_sets = 0;
};

/**
 * @brief Observes a 10 Hz run in arrival order and, once the next frame has arrived (so that
 *        its images could be taken), checks that frame's true set and every set that takes one
 *        or both images of a camera from a neighbouring frame; the bound must stay 50 ms.
 */
Checked check_run(const std::vector<test::SyntheticImage> & images, int frames)
{
  const StampTable table(images, frames);
  PairingBound bound;
  std::size_t next = 0;
  Checked checked;
  for (int k = 1; k + 1 < frames; ++k) {
    observe_through(bound, images, next, k + 1);
    if (k < 10) {
      continue;
    }
    EXPECT_TRUE(bound.bound_ns()) << "frame " << k;
    if (!bound.bound_ns()) {
      return checked;
    }
    EXPECT_NEAR(*bound.bound_ns(), 50 * kMillisecond, 2 * kMillisecond) << "frame " << k;
    if (const auto set = table.set(k, k, k, k)) {
      ++checked.true_sets;
      EXPECT_TRUE(bound.accepts(*set)) << "true set of frame " << k;
    }
    for (const int other : {k - 1, k + 1}) {
      for (const auto & mixed : {
            table.set(k, k, other, other), table.set(k, k, k, other), table.set(k, k, other, k),
            table.set(other, k, k, k), table.set(k, other, k, k)})
      {
        if (mixed) {
          ++checked.mixed_sets;
          EXPECT_FALSE(bound.accepts(*mixed)) << "frame " << k << " with frame " << other;
        }
      }
    }
  }
  return checked;
}

TEST(PairingBound, TakesFreeRunningCamerasLosingImagesAndRefusesTheNeighbouringFrame)
{
  constexpr int kFrames = 600;
  for (const int offset_percent : {0, 10, 20, 30, 40}) {
    for (const unsigned seed : {11u, 12u}) {
      SCOPED_TRACE(
        "camera 2 " + std::to_string(offset_percent) + " % late, seed " + std::to_string(seed));
      std::mt19937 random(seed);
      test::CameraTiming camera_1;
      camera_1.depth_after_colour_ns = 3 * kMillisecond;
      camera_1.jitter_ns = 2 * kMillisecond;
      camera_1.loss = 0.1;
      test::CameraTiming camera_2 = camera_1;
      camera_2.depth_after_colour_ns = 2 * kMillisecond;
      camera_2.first_capture_ns = offset_percent * camera_1.period_ns / 100;
      const Checked checked = check_run(
        test::by_arrival(
          test::camera_images(1, camera_1, 0, kFrames, random),
          test::camera_images(2, camera_2, 0, kFrames, random)), kFrames);
      // About 0.9^4 of the frames are complete; most frames offer several mixes.
      EXPECT_GT(checked.true_sets, 330);
      EXPECT_GT(checked.mixed_sets, 3000);
    }
  }
}

TEST(PairingBound, KeepsPairingWhenBothCamerasClocksStepBack30Seconds)
{
  constexpr int kFrames = 200;
  std::mt19937 random(5);
  test::CameraTiming camera_1;
  camera_1.jitter_ns = 2 * kMillisecond;
  test::CameraTiming camera_2 = camera_1;
  camera_2.first_capture_ns = 30 * kMillisecond;
  std::vector<test::SyntheticImage> images;
  for (const std::int64_t offset : {std::int64_t{0}, -30 * kSecond}) {
    camera_1.clock_offset_ns = offset;
    camera_2.clock_offset_ns = offset;
    const int first = offset == 0 ? 0 : kFrames / 2;
    const std::vector<test::SyntheticImage> part = test::by_arrival(
      test::camera_images(1, camera_1, first, first + kFrames / 2, random),
      test::camera_images(2, camera_2, first, first + kFrames / 2, random));
    images.insert(images.end(), part.begin(), part.end());
  }
  const Checked checked = check_run(images, kFrames);
  EXPECT_EQ(checked.true_sets, kFrames - 11);
}

TEST(PairingBound, PairsEveryFrameOfA15HzCameraWithThe30HzCamerasNearest)
{
  constexpr int kSlowFrames = 300;
  for (const int offset_percent : {0, 10, 25}) {
    SCOPED_TRACE("camera 2 " + std::to_string(offset_percent) + " % of 33 ms late");
    std::mt19937 random(static_cast<unsigned>(offset_percent));
    test::CameraTiming fast;
    fast.period_ns = k30Hz;
    fast.depth_after_colour_ns = 2 * kMillisecond;
    fast.jitter_ns = 1 * kMillisecond;
    test::CameraTiming slow = fast;
    slow.period_ns = 2 * k30Hz;
    slow.first_capture_ns = offset_percent * k30Hz / 100;
    // Camera 1's images carry its own frame numbers, camera 2's its own.
    const std::vector<test::SyntheticImage> images = test::by_arrival(
      test::camera_images(1, fast, 0, 2 * kSlowFrames, random),
      test::camera_images(2, slow, 0, kSlowFrames, random));
    const StampTable table(images, 2 * kSlowFrames);

    PairingBound bound;
    for (const test::SyntheticImage & image : images) {
      bound.observe(image.input, image.stamp_ns);
    }
    ASSERT_TRUE(bound.fastest_input());
    EXPECT_EQ(camera_of(*bound.fastest_input()), 1);
    for (int j = 1; j + 1 < kSlowFrames; ++j) {
      const int f = 2 * j;
      ASSERT_TRUE(bound.accepts(*table.set(f, f, j, j))) << "frame " << j;
      for (const auto & mixed : {
            table.set(f - 1, f - 1, j, j), table.set(f + 1, f + 1, j, j),
            table.set(f, f - 1, j, j), table.set(f, f, j - 1, j - 1), table.set(f, f, j, j + 1)})
      {
        ASSERT_FALSE(bound.accepts(*mixed)) << "frame " << j;
      }
    }
  }
}

}  // namespace
}  // namespace tavrinox_camera_convertor
