// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// The bound takes every set whose images show one moment and refuses a set with an image of the
// neighbouring frame, as cameras really run: free-running, jittered, losing images, at
// different rates, restarting their clocks.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <random>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "pairing/synthetic_cameras.hpp"
#include "tavrinox_camera_convertor/pairing/pairing_bound.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

using test::kMillisecond;
using test::kSecond;
constexpr std::int64_t k30Hz = kSecond / 30;

/// @brief The stamps of the given frame of each input; none if one of those images was lost.
std::optional<InputStamps> set_of(
  const std::vector<test::SyntheticImage> & images, const std::array<int, 4> & frames)
{
  InputStamps stamps{};
  int found = 0;
  for (const test::SyntheticImage & image : images) {
    if (image.frame == frames[index_of(image.input)]) {
      stamps[index_of(image.input)] = image.stamp_ns;
      ++found;
    }
  }
  return found == 4 ? std::optional<InputStamps>(stamps) : std::nullopt;
}

/**
 * @brief Observes a 10 Hz run in arrival order; once frame k + 1 has arrived, checks frame k's
 *        set and each set with one or both images of a camera from frame k - 1 or k + 1.
 * @return how many true sets were checked
 */
int expect_only_true_sets(const std::vector<test::SyntheticImage> & images, int frames)
{
  PairingBound bound;
  std::size_t next = 0;
  int true_sets = 0;
  for (int k = 1; k + 1 < frames; ++k) {
    for (; next < images.size() && images[next].frame <= k + 1; ++next) {
      bound.observe(images[next].input, images[next].stamp_ns);
    }
    // The window of frames around k, which the sets below take their images from.
    const std::vector<test::SyntheticImage> near(
      images.begin() + static_cast<std::ptrdiff_t>(std::max<std::size_t>(next, 20) - 20),
      images.begin() + static_cast<std::ptrdiff_t>(next));
    if (k < 10) {
      continue;
    }
    EXPECT_NEAR(bound.bound_ns().value_or(0), 50 * kMillisecond, 2 * kMillisecond) << k;
    if (const auto set = set_of(near, {k, k, k, k})) {
      ++true_sets;
      EXPECT_TRUE(bound.accepts(*set)) << "frame " << k;
    }
    for (const int j : {k - 1, k + 1}) {
      for (const auto & frames_of : std::vector<std::array<int, 4>>{
            {k, k, j, j}, {k, k, k, j}, {k, k, j, k}, {j, k, k, k}, {k, j, k, k}})
      {
        const auto mixed = set_of(near, frames_of);
        EXPECT_FALSE(mixed && bound.accepts(*mixed)) << "frame " << k << " with " << j;
      }
    }
  }
  return true_sets;
}

TEST(PairingBound, TheParameterChoosesLearnedOffOrFixedAndRefusesNonsense)
{
  const InputStamps twelve_seconds{0, 0, 12 * kSecond, 0};
  const InputStamps twenty_ms{0, 20 * kMillisecond, 0, 0};
  const InputStamps just_over{0, 20 * kMillisecond + 1, 0, 0};
  PairingBound learned;
  EXPECT_TRUE(learned.accepts(twelve_seconds)) << "no frame to borrow from before a second image";
  EXPECT_EQ(learned.description(), "learned: unlimited until an input's second image");
  PairingBound off(0.0);
  PairingBound fixed(0.02);
  for (int frame = 0; frame < 8; ++frame) {
    if (frame == 2) {
      // One interval of camera 1's depth so far: its half already refuses a neighbour's image.
      EXPECT_EQ(learned.period_ns(CameraInput::depth_1), std::nullopt);
      EXPECT_EQ(learned.bound_ns(), k30Hz / 2);
      EXPECT_FALSE(learned.accepts(InputStamps{0, 0, k30Hz, 0}));
      EXPECT_TRUE(learned.accepts(InputStamps{0, 0, k30Hz / 2, 0}));
      EXPECT_EQ(
        learned.description(),
        "learned so far: 16.7 ms (half of camera 1 depth's shortest interval yet, 33.3 ms)");
    }
    for (const CameraInput input : kCameraInputs) {
      // Camera 1's depth runs at 30 Hz, the rest at 15 Hz.
      for (PairingBound * bound : {&learned, &off, &fixed}) {
        if (input == CameraInput::depth_1 || frame % 2 == 0) {
          bound->observe(input, frame * k30Hz);
        }
      }
    }
  }
  EXPECT_EQ(learned.bound_ns(), k30Hz / 2);
  EXPECT_EQ(learned.description(), "learned: 16.7 ms (half of camera 1 depth's 33.3 ms period)");
  EXPECT_EQ(PairingBound(-0.001).mode(), PairingBound::Mode::learned);

  EXPECT_EQ(off.bound_ns(), std::nullopt);
  EXPECT_TRUE(off.accepts(twelve_seconds));
  EXPECT_EQ(off.description(), "off");
  EXPECT_EQ(off.period_ns(CameraInput::rgb_2), 2 * k30Hz) << "learned for diagnostics";

  EXPECT_EQ(fixed.bound_ns(), 20 * kMillisecond);
  EXPECT_TRUE(fixed.accepts(twenty_ms));
  EXPECT_FALSE(fixed.accepts(just_over));
  EXPECT_EQ(fixed.description(), "fixed: 20.0 ms");

  const double infinity = std::numeric_limits<double>::infinity();
  for (const auto & [value, expected] : {
        std::pair{std::nan(""), "parameter max_set_interval = nan: must be a finite number "
          "(negative: learned from the cameras' frame periods, 0: off, positive: the largest time "
          "in seconds between the stamps of one set)"},
        std::pair{-infinity, "parameter max_set_interval = -inf: must be a finite number ("},
        std::pair{1e10, "parameter max_set_interval = 1e+10: is too large; 0 turns the bound off"}})
  {
    try {
      PairingBound bound(value);
      ADD_FAILURE() << value << " taken";
    } catch (const std::invalid_argument & error) {
      EXPECT_EQ(std::string(error.what()).rfind(expected, 0), 0u) << error.what();
    }
  }
}

TEST(PairingBound, TakesFreeRunningCamerasThatLoseImagesOrRestartTheirClocks)
{
  for (const int late_percent : {0, 10, 20, 30, 40}) {
    SCOPED_TRACE("camera 2 " + std::to_string(late_percent) + " % of a period late");
    std::mt19937 random(static_cast<unsigned>(late_percent));
    test::CameraTiming camera_1;
    camera_1.depth_after_colour_ns = 3 * kMillisecond;
    camera_1.jitter_ns = 2 * kMillisecond;
    camera_1.loss = 0.1;
    test::CameraTiming camera_2 = camera_1;
    camera_2.depth_after_colour_ns = 2 * kMillisecond;
    camera_2.first_capture_ns = late_percent * kMillisecond;
    const auto both = [&](int first, int end) {
        return test::by_arrival(
          test::camera_images(1, camera_1, first, end, random),
          test::camera_images(2, camera_2, first, end, random));
      };
    // About 0.9^4 of the frames keep all four images.
    EXPECT_GT(expect_only_true_sets(both(0, 600), 600), 330);

    // Both clocks step 30 s back halfway.
    camera_1.loss = camera_2.loss = 0.0;
    std::vector<test::SyntheticImage> images = both(0, 100);
    camera_1.clock_offset_ns = camera_2.clock_offset_ns = -30 * kSecond;
    const std::vector<test::SyntheticImage> after = both(100, 200);
    images.insert(images.end(), after.begin(), after.end());
    EXPECT_EQ(expect_only_true_sets(images, 200), 189);
  }
}

TEST(PairingBound, PairsEveryFrameOfA15HzCameraWithThe30HzCamerasNearest)
{
  for (const int late_percent : {0, 10, 25}) {
    SCOPED_TRACE("camera 2 " + std::to_string(late_percent) + " % of 33 ms late");
    std::mt19937 random(static_cast<unsigned>(late_percent));
    test::CameraTiming fast;
    fast.period_ns = k30Hz;
    fast.depth_after_colour_ns = 2 * kMillisecond;
    fast.jitter_ns = 1 * kMillisecond;
    test::CameraTiming slow = fast;
    slow.period_ns = 2 * k30Hz;
    slow.first_capture_ns = late_percent * k30Hz / 100;
    // Each camera's images carry its own frame numbers.
    const std::vector<test::SyntheticImage> images = test::by_arrival(
      test::camera_images(1, fast, 0, 600, random), test::camera_images(2, slow, 0, 300, random));
    PairingBound bound;
    for (const test::SyntheticImage & image : images) {
      bound.observe(image.input, image.stamp_ns);
    }
    for (int j = 1; j + 1 < 300; ++j) {
      const int f = 2 * j;
      ASSERT_TRUE(bound.accepts(*set_of(images, {f, f, j, j}))) << "frame " << j;
      for (const auto & frames : std::vector<std::array<int, 4>>{
            {f - 1, f - 1, j, j}, {f + 1, f + 1, j, j}, {f, f - 1, j, j}, {f, f, j - 1, j - 1},
            {f, f, j, j + 1}})
      {
        ASSERT_FALSE(bound.accepts(*set_of(images, frames))) << "frame " << j;
      }
    }
  }
}

}  // namespace
}  // namespace tavrinox_camera_convertor
