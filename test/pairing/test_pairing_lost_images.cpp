// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// The node's pairing on seeded streams that lose images: with the bound no delivered set mixes
// two moments, not even while the bound is still being learned; without it the policy fills a
// lost image from the neighbouring frame.
#include <gtest/gtest.h>

#include <cstdint>
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
using test::NodePairing;
using test::Outcome;
using test::Streams;

/// Both cameras at 10 Hz, in step, their images lost at random.
Streams lossy_streams(std::uint32_t seed)
{
  Streams streams;
  streams.duration_ns = 30 * kSecond;
  streams.loss = 0.1;
  streams.max_delay_ns = 15 * kMillisecond;
  streams.seed = seed;
  return streams;
}

TEST(Pairing, LostImagesNeverMakeAMixedSetAndEveryCompleteFrameIsDelivered)
{
  for (const std::uint32_t seed : {1u, 2u, 3u, 4u, 5u}) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    const Streams streams = lossy_streams(seed);
    NodePairing pairing(-1.0);
    const Outcome outcome = test::run(streams, pairing);
    EXPECT_EQ(outcome.delivered_mixed, 0) << describe(outcome);
    EXPECT_GE(outcome.complete_frames, 150) << describe(outcome);
    EXPECT_GE(outcome.complete_frames_delivered, 0.99 * outcome.complete_frames)
      << describe(outcome);
    EXPECT_EQ(outcome.frames_delivered_twice, 0) << describe(outcome);
    // What diagnostics report as dropped is the rest, but for the last frames, still waiting.
    const auto accounted = static_cast<std::int64_t>(outcome.delivered) +
      static_cast<std::int64_t>(pairing.monitor().dropped_sets().total());
    EXPECT_LE(accounted, outcome.frames_taken);
    EXPECT_GE(accounted, outcome.frames_taken - 2);
  }
}

TEST(Pairing, WithoutTheBoundLostImagesMakeMixedSets)
{
  // The behaviour the bound fixes: the policy fills a lost image from the neighbouring frame.
  for (const std::uint32_t seed : {1u, 2u, 3u, 4u, 5u}) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    const Outcome outcome = test::run(lossy_streams(seed), 0.0);
    EXPECT_GT(outcome.delivered_mixed, 5) << describe(outcome);
  }
}

// Until an input's fourth image teaches its period, a frame that lost an image would borrow its
// neighbour's (here camera 1's frame 2 with camera 2's frame 1) but for the interim bound.
TEST(Pairing, NoMixedSetIsDeliveredWhileThePeriodIsStillUnknown)
{
  Streams free_running;
  free_running.stamp_jitter_ns = 2 * kMillisecond;
  free_running.max_delay_ns = 40 * kMillisecond;
  free_running.loss = 0.1;
  free_running.seed = 12;
  Streams thirty_and_fifteen = free_running;
  thirty_and_fifteen.cameras[0].period_ns = 1000 * kMillisecond / 30;
  thirty_and_fifteen.cameras[1].period_ns = 1000 * kMillisecond / 15;
  thirty_and_fifteen.max_delay_ns = 10 * kMillisecond;
  thirty_and_fifteen.seed = 21;
  for (const Streams & streams : {free_running, thirty_and_fifteen}) {
    const Outcome outcome = test::run(streams, -1.0);
    EXPECT_EQ(outcome.mixed_while_learning + outcome.delivered_mixed, 0) << describe(outcome);
  }
}

}  // namespace
}  // namespace tavrinox_camera_convertor
