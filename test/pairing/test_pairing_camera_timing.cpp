// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// The node's pairing on seeded streams of cameras that are not in step: free-running with an
// offset, at different rates, or with clocks seconds apart.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "pairing/node_pairing.hpp"
#include "pairing/pairing_outcome.hpp"
#include "pairing/pairing_streams.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

using test::describe;
using test::kMillisecond;
using test::kSecond;
using test::Outcome;
using test::Streams;

TEST(Pairing, FreeRunningCamerasOffsetByUpToFortyPercentPairOnlyTheirOwnFrames)
{
  for (const double offset : {0.0, 0.2, 0.4}) {
    for (const std::uint32_t seed : {11u, 12u, 13u}) {
      SCOPED_TRACE("camera 2 offset " + std::to_string(offset) + ", seed " + std::to_string(seed));
      Streams streams;
      streams.cameras[1].first_capture_ns = static_cast<std::int64_t>(offset * 100 * kMillisecond);
      streams.stamp_jitter_ns = 2 * kMillisecond;
      streams.max_delay_ns = 40 * kMillisecond;
      streams.seed = seed;
      const Outcome whole = test::run(streams, -1.0);
      EXPECT_EQ(whole.delivered_mixed, 0) << describe(whole);
      EXPECT_GE(whole.complete_frames, 190);
      EXPECT_EQ(whole.complete_frames_delivered, whole.complete_frames) << describe(whole);
      EXPECT_EQ(whole.frames_delivered_twice, 0) << describe(whole);

      streams.loss = 0.1;
      const Outcome lossy = test::run(streams, -1.0);
      EXPECT_EQ(lossy.delivered_mixed, 0) << describe(lossy);
      EXPECT_GE(lossy.complete_frames_delivered, 0.99 * lossy.complete_frames) << describe(lossy);
    }
  }
}

TEST(Pairing, CamerasAtThirtyAndFifteenHertzGiveOneSetPerFrameOfTheSlowerOne)
{
  for (const double loss : {0.0, 0.1}) {
    for (const std::uint32_t seed : {21u, 22u, 23u}) {
      SCOPED_TRACE("loss " + std::to_string(loss) + ", seed " + std::to_string(seed));
      Streams streams;
      streams.cameras[0].period_ns = 1000 * kMillisecond / 30;
      streams.cameras[1].period_ns = 1000 * kMillisecond / 15;
      streams.duration_ns = 15 * kSecond;
      streams.loss = loss;
      streams.stamp_jitter_ns = 2 * kMillisecond;
      streams.max_delay_ns = 10 * kMillisecond;
      streams.seed = seed;
      const Outcome outcome = test::run(streams, -1.0);
      EXPECT_EQ(outcome.delivered_mixed, 0) << describe(outcome);
      EXPECT_GE(outcome.complete_frames, loss > 0.0 ? 130 : 220);
      // A set for each frame of camera 2; one with camera 1's frames in between would be mixed.
      EXPECT_GE(outcome.complete_frames_delivered, 0.99 * outcome.complete_frames)
        << describe(outcome);
      EXPECT_EQ(outcome.frames_delivered_twice, 0) << describe(outcome);
    }
  }
}

TEST(Pairing, CameraClocksTwelveSecondsApartDeliverNothingAndTheWarningNamesThem)
{
  Streams streams;
  streams.cameras[1].clock_offset_ns = 12 * kSecond;
  streams.duration_ns = 10 * kSecond;
  streams.stamp_jitter_ns = 2 * kMillisecond;
  streams.max_delay_ns = 20 * kMillisecond;
  test::NodePairing pairing(-1.0);
  const Outcome outcome = test::run(streams, pairing);
  EXPECT_EQ(outcome.delivered, 0) << describe(outcome);
  const std::optional<std::string> warning = pairing.poll_after(std::chrono::milliseconds(50));
  ASSERT_TRUE(warning.has_value());
  EXPECT_NE(warning->find("camera 1 and camera 2 stamps differ by 12.0 s"), std::string::npos)
    << *warning;
}

}  // namespace
}  // namespace tavrinox_camera_convertor
