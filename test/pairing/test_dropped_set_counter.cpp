// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// Sets the cameras' frames should have given but did not are counted once each, as incomplete
// or as mixed; a faster camera's frames without a partner are no loss; memory stays bounded.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <random>
#include <utility>
#include <vector>

#include "pairing/synthetic_cameras.hpp"
#include "tavrinox_camera_convertor/pairing/dropped_set_counter.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

using test::kMillisecond;
using test::kSecond;
using Images = std::vector<test::SyntheticImage>;

/// The counter as the node drives it, with a synchronizer that pairs every complete frame.
struct Counted
{
  explicit Counted(double max_set_interval_s = -1.0, int ratio = 1)
  : bound(max_set_interval_s), pairing(ratio) {}

  void feed(const Images & images)
  {
    for (const test::SyntheticImage & image : images) {
      bound.observe(image.input, image.stamp_ns);
      counter.on_image(
        image.input, image.stamp_ns, bound,
        DroppedSetCounter::TimePoint(std::chrono::nanoseconds(image.arrival_ns)));
      const std::optional<InputStamps> set = pairing.add(image);
      if (set && bound.accepts(*set)) {
        counter.on_set_processed(*set, bound);
      }
      ASSERT_LE(counter.waiting_frames(), DroppedSetCounter::kFrames);
    }
  }

  PairingBound bound;
  DroppedSetCounter counter;
  test::IdealPairing pairing;
};

/// @brief Both cameras' frames [first, end) at `period_ns`, camera 2 a tenth of it late.
Images both(
  int first, int end, std::mt19937 & random, double loss = 0.0,
  std::int64_t period_ns = 100 * kMillisecond)
{
  test::CameraTiming timing;
  timing.period_ns = period_ns;
  timing.depth_after_colour_ns = period_ns * 3 / 100;
  timing.jitter_ns = period_ns / 100;
  timing.loss = loss;
  test::CameraTiming camera_2 = timing;
  camera_2.first_capture_ns = period_ns / 10;
  return test::by_arrival(
    test::camera_images(1, timing, first, end, random),
    test::camera_images(2, camera_2, first, end, random));
}

Images without(Images images, const std::function<bool(const test::SyntheticImage &)> & lost)
{
  images.erase(std::remove_if(images.begin(), images.end(), lost), images.end());
  return images;
}

TEST(DroppedSetCounter, EveryFrameThatLostAnImageCountsOnceAsIncomplete)
{
  for (const unsigned seed : {21u, 22u, 23u}) {
    std::mt19937 random(seed);
    Counted run;
    run.feed(both(0, 10, random));
    const Images lossy = both(10, 1000, random, 0.1);
    run.feed(lossy);
    std::map<int, int> images_of_frame;
    for (const test::SyntheticImage & image : lossy) {
      ++images_of_frame[image.frame];
    }
    // Frames after the last complete one still wait for their set.
    const int last_set = std::prev(
      std::find_if(
        images_of_frame.rbegin(), images_of_frame.rend(),
        [](const auto & frame) {return frame.second == 4;}).base())->first;
    const auto lossy_frames = std::count_if(
      images_of_frame.begin(), images_of_frame.find(last_set),
      [](const auto & frame) {return frame.second < 4;});
    EXPECT_GT(lossy_frames, 250);
    EXPECT_EQ(run.counter.counts().incomplete, static_cast<std::uint64_t>(lossy_frames));
    EXPECT_EQ(run.counter.counts().mixed, 0u);
  }

  // Camera 1 at 30 Hz, camera 2 at 15 Hz: only a lost image of the slower camera costs a set.
  const std::vector<std::pair<std::function<bool(const test::SyntheticImage &)>, unsigned>>
  cases = {
    {[](const test::SyntheticImage &) {return false;}, 0u},
    {[](const test::SyntheticImage & image) {
        return image.input == CameraInput::rgb_1 && image.frame == 151;
      }, 0u},
    {[](const test::SyntheticImage & image) {
        return image.input == CameraInput::depth_2 && image.frame == 150;
      }, 1u},
    {[](const test::SyntheticImage & image) {
        return camera_of(image.input) == 2 && image.frame >= 100 && image.frame < 150;
      }, 50u}};
  for (const auto & [lost, dropped] : cases) {
    std::mt19937 random(41);
    test::CameraTiming fast;
    fast.period_ns = kSecond / 30;
    test::CameraTiming slow = fast;
    slow.period_ns = 2 * fast.period_ns;
    Counted run(-1.0, 2);
    run.feed(
      without(
        test::by_arrival(
          test::camera_images(1, fast, 0, 600, random),
          test::camera_images(2, slow, 0, 300, random)), lost));
    EXPECT_EQ(run.counter.counts().total(), dropped);
  }
}

TEST(DroppedSetCounter, SetsRefusedByTheBoundCountAsMixed)
{
  // Frame 50 lost camera 2's depth. The synchronizer fills it with frame 51's, the bound
  // refuses that, and frame 51, its depth taken, makes no set either.
  std::mt19937 random(31);
  const Images images = without(
    both(0, 60, random), [](const test::SyntheticImage & image) {
      return image.frame == 50 && image.input == CameraInput::depth_2;
    });
  Counted run;
  InputStamps refused{};
  for (const test::SyntheticImage & image : images) {
    if (image.frame == 50 || (image.frame == 51 && image.input == CameraInput::depth_2)) {
      refused[index_of(image.input)] = image.stamp_ns;
    }
  }
  for (const test::SyntheticImage & image : images) {
    if (image.frame == 51 && image.input == CameraInput::depth_2) {
      run.bound.observe(image.input, image.stamp_ns);
      run.counter.on_image(
        image.input, image.stamp_ns, run.bound,
        DroppedSetCounter::TimePoint(std::chrono::nanoseconds(image.arrival_ns)));
      run.counter.on_set_refused(refused);
    } else {
      run.feed({image});
    }
  }
  EXPECT_EQ(run.counter.counts().incomplete, 1u);
  EXPECT_EQ(run.counter.counts().mixed, 1u);

  // A fixed bound narrower than camera 2's lag: every frame is refused without a word.
  Counted fixed(0.005);
  fixed.feed(both(0, 60, random));
  fixed.counter.expire(fixed.bound, DroppedSetCounter::TimePoint(std::chrono::hours(1)));
  EXPECT_EQ(fixed.counter.counts().incomplete, 0u);
  EXPECT_EQ(fixed.counter.counts().mixed, 57u) << "frames 3 to 59, from the first known period";
}

TEST(DroppedSetCounter, FramesWaitAFewSecondsForTheirSetInBoundedMemory)
{
  // Camera 2 silent: nothing is counted before camera 1's frames give up waiting, and each of
  // them once, whether it expired or was passed by a set.
  for (const std::int64_t period : {100 * kMillisecond, 10 * kMillisecond}) {
    std::mt19937 random(51);
    const int per_second = static_cast<int>(kSecond / period);
    Counted run;
    run.feed(both(0, 20, random, 0.0, period));
    const auto camera_1_of = [&](int first, int end) {
        return without(
          both(first, end, random, 0.0, period),
          [](const test::SyntheticImage & image) {return camera_of(image.input) == 2;});
      };
    run.feed(camera_1_of(20, 20 + 29 * per_second / 10));
    EXPECT_EQ(run.counter.counts().total(), period > 50 * kMillisecond ? 0u : 290u - 128u)
      << "only more frames than are held are counted before 3 s";
    run.feed(camera_1_of(20 + 29 * per_second / 10, 20 + 5 * per_second));
    run.feed(both(20 + 5 * per_second, 22 + 5 * per_second, random, 0.0, period));
    EXPECT_EQ(run.counter.counts().incomplete, 5u * static_cast<std::uint64_t>(per_second));
    EXPECT_EQ(run.counter.waiting_frames(), 0u);
  }
}

}  // namespace
}  // namespace tavrinox_camera_convertor
