// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// The node executable over the middleware when cameras lose images: with the pairing bound no
// output mixes two sets and every whole set comes out, as /diagnostics reports; with the bound
// off the neighbouring frames mix as before.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "fault_rig.hpp"
#include "tagged_sets.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

using test::describe;
using test::FaultRig;
using test::kDepth1;
using test::kDepth2;
using test::kNone;
using test::kRgb1;
using test::NodeFrame;
using test::Status;
using namespace std::chrono_literals;

/// Pairs of neighbouring frames that each lost what the other kept: the approximate-time
/// policy, unbounded, completes the first with the second's images whatever order the images
/// of a frame arrive in. Every one mixes an image that shows in the outputs.
constexpr std::array<std::array<std::uint8_t, 2>, 5> kLossPairs = {{
  {kDepth2, kRgb1}, {kDepth1, kDepth2}, {kRgb1, kDepth2}, {kDepth2, kDepth1}, {kDepth1, kRgb1}}};
/// The first frames are whole, so that the bound is learned before the first loss.
constexpr std::uint32_t kWholeAtStart = 8;
/// Every fourth and fifth frame after those lose images, as kLossPairs says.
constexpr std::uint32_t kCycle = 5;
constexpr std::uint32_t kLossySets = kWholeAtStart + kCycle * kLossPairs.size() + 3;

std::uint8_t lost_of(std::uint32_t set)
{
  if (set < kWholeAtStart || set >= kWholeAtStart + kCycle * kLossPairs.size()) {
    return kNone;
  }
  const std::uint32_t cycle = (set - kWholeAtStart) / kCycle;
  const std::uint32_t place = (set - kWholeAtStart) % kCycle;
  if (place == 3 || place == 4) {
    return kLossPairs[cycle][place - 3];
  }
  return kNone;
}

/// Lost images, streamed faster than the 10 Hz of their stamps: pairing goes by the stamps.
std::vector<NodeFrame> stream_lossy_sets(FaultRig & rig)
{
  rig.stream(0, kLossySets, 50ms, lost_of);
  // The last set but one is out once the last one has come.
  rig.harness().spin_until(
    10s, [&] {
      const std::vector<NodeFrame> frames = rig.frames();
      return std::any_of(
        frames.begin(), frames.end(), [](const NodeFrame & frame) {
          return frame.sets[4] && *frame.sets[4] >= kLossySets - 2;
        });
    });
  rig.harness().spin_for(300ms);
  return rig.frames();
}

TEST(NodePairing, LostImagesNeverGiveMixedOutputsAndEveryWholeSetComesOut)
{
  FaultRig rig;
  ASSERT_TRUE(rig.wait_until_ready());
  const std::vector<NodeFrame> frames = stream_lossy_sets(rig);

  std::set<std::uint32_t> delivered;
  for (const NodeFrame & frame : frames) {
    EXPECT_FALSE(frame.mixed()) << frame.text() << "\n" << describe(frames);
    EXPECT_TRUE(frame.whole()) << frame.text();
    if (frame.sets[0]) {
      delivered.insert(*frame.sets[0]);
    }
  }
  // Every whole set but the last, which waits for a later image to show nothing better comes.
  std::set<std::uint32_t> whole;
  for (std::uint32_t set = 0; set + 1 < kLossySets; ++set) {
    if (lost_of(set) == kNone) {
      whole.insert(set);
    }
  }
  delivered.erase(kLossySets - 1);
  EXPECT_EQ(delivered, whole) << describe(frames);

  // What diagnostics say of it: each frame that lost an image dropped as incomplete.
  const auto since = std::chrono::steady_clock::now();
  ASSERT_TRUE(rig.harness().spin_until(5s, [&] {return rig.status_after(since).has_value();}));
  Status status = *rig.status_after(since);
  EXPECT_EQ(status.values["sets dropped as incomplete"], std::to_string(2 * kLossPairs.size()));
  EXPECT_EQ(status.values["sets dropped as mixed"], "0");
  EXPECT_EQ(status.values["pairing bound (max_set_interval)"].rfind("learned: 50.0 ms", 0), 0u)
    << status.values["pairing bound (max_set_interval)"];
}

TEST(NodePairing, WithTheBoundOffLostImagesGiveMixedOutputsAsBefore)
{
  FaultRig rig({"--ros-args", "-p", "max_set_interval:=0"});
  ASSERT_TRUE(rig.wait_until_ready());
  const std::vector<NodeFrame> frames = stream_lossy_sets(rig);
  const auto mixed = std::count_if(
    frames.begin(), frames.end(), [](const NodeFrame & frame) {return frame.mixed();});
  // One per pair of frames, give or take the order the middleware hands the images over in.
  EXPECT_GE(mixed, static_cast<std::ptrdiff_t>(kLossPairs.size()) - 1) << describe(frames);

  const auto since = std::chrono::steady_clock::now();
  ASSERT_TRUE(rig.harness().spin_until(5s, [&] {return rig.status_after(since).has_value();}));
  EXPECT_EQ(rig.status_after(since)->values["pairing bound (max_set_interval)"], "off");
}

}  // namespace
}  // namespace tavrinox_camera_convertor
