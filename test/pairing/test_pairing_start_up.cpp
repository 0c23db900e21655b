// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// A stream's first sets, and the first after an input comes back, replayed image by image with
// their stamps and in their order of arrival: every set whose four images came is given once,
// from the first one on, and none mixes two moments.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "pairing/node_pairing.hpp"
#include "pairing/pairing_outcome.hpp"
#include "pairing/pairing_streams.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

using test::kMillisecond;
using test::kSecond;
using test::Streams;

/// @brief Checks the outcome of `streams`; returns how many whole sets it had.
int expect_every_whole_set_once(const Streams & streams, const std::string & what)
{
  SCOPED_TRACE(what + ", seed " + std::to_string(streams.seed));
  test::NodePairing pairing(-1.0);
  const test::Outcome outcome = test::run(streams, pairing, true);
  const std::string described = test::describe(outcome);
  EXPECT_EQ(outcome.delivered_mixed + outcome.mixed_while_learning, 0) << described;
  EXPECT_EQ(outcome.complete_frames_delivered, outcome.complete_frames) << described;
  EXPECT_EQ(outcome.frames_delivered_twice, 0) << described;
  return outcome.complete_frames;
}

/// Camera 2 35 ms behind camera 1, its stamps +-2 ms off, images up to 40 ms late; either camera
/// may start first, so that its first frame has no partner.
Streams free_running(std::uint32_t seed)
{
  Streams streams;
  streams.duration_ns = 2 * kSecond;
  streams.seed = seed;
  streams.cameras[0].first_capture_ns = seed % 2 == 0 ? 0 : 100 * kMillisecond;
  streams.cameras[1].first_capture_ns = 35 * kMillisecond - (seed % 3 == 0 ? 100 : 0) *
    kMillisecond;
  streams.stamp_jitter_ns = 2 * kMillisecond;
  streams.max_delay_ns = 40 * kMillisecond;
  return streams;
}

TEST(PairingStartUp, FreeRunningCamerasGiveEverySetFromTheFirst)
{
  for (std::uint32_t seed = 1; seed <= 30; ++seed) {
    EXPECT_GE(expect_every_whole_set_once(free_running(seed), "camera 2 35 ms behind"), 17);
  }
}

TEST(PairingStartUp, AStreamWhoseFirstImagesAreLostGivesEveryWholeSet)
{
  // The second image of each input in turn, and the first ones of a camera with another's
  // second: the frames that teach the bound are those that lose images.
  const std::vector<std::vector<std::pair<CameraInput, int>>> losses = {
    {{CameraInput::rgb_1, 1}}, {{CameraInput::depth_1, 1}}, {{CameraInput::rgb_2, 1}},
    {{CameraInput::depth_2, 1}}, {{CameraInput::rgb_1, 0}, {CameraInput::depth_1, 0},
      {CameraInput::depth_2, 1}},
    {{CameraInput::rgb_2, 0}, {CameraInput::depth_2, 0}, {CameraInput::depth_1, 1}}};
  for (std::size_t k = 0; k < losses.size(); ++k) {
    for (std::uint32_t seed = 1; seed <= 10; ++seed) {
      Streams streams = free_running(seed);
      streams.cameras[1].first_capture_ns = (seed % 4) * 10 * kMillisecond;
      streams.lost = losses[k];
      EXPECT_GE(expect_every_whole_set_once(streams, "losses " + std::to_string(k)), 17);
    }
  }
}

TEST(PairingStartUp, ACameraSilentForFiveSecondsGivesEveryWholeSetBeforeAndAfter)
{
  for (std::uint32_t seed = 1; seed <= 5; ++seed) {
    Streams streams;
    streams.duration_ns = 12 * kSecond;
    streams.seed = seed;
    streams.max_delay_ns = (seed % 3) * 15 * kMillisecond;
    streams.camera_2_silent = {3 * kSecond + 50 * kMillisecond, 8 * kSecond + 50 * kMillisecond};
    EXPECT_GE(expect_every_whole_set_once(streams, "camera 2 silent for 5 s"), 60);
  }
}

TEST(PairingStartUp, ShortStreamsThatLoseImagesGiveEveryWholeSetAndNoMixedOne)
{
  // What cameras started on demand send: a few frames, some images lost or late.
  int whole = 0;
  for (std::uint32_t seed = 1; seed <= 400; ++seed) {
    Streams streams;
    streams.duration_ns = 800 * kMillisecond;
    streams.seed = seed;
    streams.cameras[1].first_capture_ns = (static_cast<std::int64_t>(seed % 71) - 35) *
      kMillisecond;
    streams.loss = 0.15;
    streams.stamp_jitter_ns = 3 * kMillisecond;
    streams.max_delay_ns = 60 * kMillisecond;
    whole += expect_every_whole_set_once(streams, "short lossy stream");
  }
  EXPECT_GT(whole, 1000);
  // One set alone, as a camera triggered for one picture sends it.
  Streams one;
  one.duration_ns = 50 * kMillisecond;
  EXPECT_EQ(expect_every_whole_set_once(one, "a single set"), 1);
}

}  // namespace
}  // namespace tavrinox_camera_convertor
