// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// What the node says about its inputs, driven as the node drives it: images in arrival order,
// a synchronizer that pairs every complete frame the bound takes, a poll every 100 ms. Both
// cameras run at 10 Hz, camera 2 30 ms behind; a frame's set is complete 53 ms after it.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "pairing/synthetic_cameras.hpp"
#include "tavrinox_camera_convertor/pairing/pairing_monitor.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

using test::kMillisecond;
using test::kSecond;
using Images = std::vector<test::SyntheticImage>;
/// A logged line: when (ms), level, text.
using Line = std::tuple<std::int64_t, std::string, std::string>;

PairingMonitor::TimePoint at(std::int64_t ns)
{
  return PairingMonitor::TimePoint(std::chrono::nanoseconds(ns));
}

/// The monitor as the node drives it; polls come at 75 ms and every 100 ms after.
struct Node
{
  enum class SetFate {processed, rejected, lost};

  explicit Node(double max_set_interval_s = -1.0)
  : monitor(max_set_interval_s) {}

  /// @brief Takes `images` (in arrival order), polling as time passes, and on to `until_ms`.
  void run(const Images & images, std::int64_t until_ms)
  {
    for (const test::SyntheticImage & image : images) {
      poll_until(image.arrival_ns);
      monitor.on_image(image.input, image.stamp_ns, at(image.arrival_ns));
      const std::optional<InputStamps> set = pairing.add(image);
      if (set && !monitor.pairing_bound().accepts(*set)) {
        monitor.on_set_mixed(*set, at(image.arrival_ns));
      } else if (set && fate == SetFate::processed) {
        if (const auto info = monitor.on_set_processed(*set, at(image.arrival_ns))) {
          lines.emplace_back(image.arrival_ns / kMillisecond, "INFO", *info);
        }
      } else if (set && fate == SetFate::rejected) {
        monitor.on_frame_rejected("Unknown encoding foo", at(image.arrival_ns));
      }
    }
    poll_until(until_ms * kMillisecond);
  }

  void poll_until(std::int64_t now_ns)
  {
    for (; next_poll <= now_ns; next_poll += 100 * kMillisecond) {
      if (const auto warning = monitor.poll(at(next_poll))) {
        lines.emplace_back(next_poll / kMillisecond, "WARN", *warning);
      }
    }
  }

  PairingMonitor monitor;
  test::IdealPairing pairing;
  SetFate fate = SetFate::processed;
  std::vector<Line> lines;
  std::int64_t next_poll = 75 * kMillisecond;
};

/// Both cameras as these tests run them; each call takes the timing as it is then.
struct Rig
{
  Rig()
  {
    camera_1.depth_after_colour_ns = 3 * kMillisecond;
    camera_2 = camera_1;
    camera_2.first_capture_ns = 30 * kMillisecond;
  }

  Images frames(int first, int end, bool with_camera_2 = true)
  {
    const Images one = test::camera_images(1, camera_1, first, end, random);
    return with_camera_2 ?
           test::by_arrival(one, test::camera_images(2, camera_2, first, end, random)) : one;
  }

  std::mt19937 random{7};
  test::CameraTiming camera_1;
  test::CameraTiming camera_2;
};

/// @brief The warning about camera 2's two silent inputs.
std::string camera_2_silent_for(const std::string & duration)
{
  return "camera 2 colour: no image for " + duration + "; camera 2 depth: no image for " +
         duration;
}

TEST(PairingMonitor, SaysNothingWhileAllIsWellOrNoImageComes)
{
  Rig lossy;
  lossy.camera_1.loss = lossy.camera_2.loss = 0.1;
  lossy.camera_1.jitter_ns = lossy.camera_2.jitter_ns = 2 * kMillisecond;
  Node node;
  node.run(lossy.frames(0, 600), 61000);
  EXPECT_EQ(node.lines, std::vector<Line>()) << "with a tenth of every stream lost";
  EXPECT_GT(node.monitor.dropped_sets().incomplete, 150u);

  Node waiting;
  waiting.run({}, 120000);
  EXPECT_EQ(waiting.lines, std::vector<Line>());
  const HealthSummary before = waiting.monitor.summary(at(120 * kSecond));
  EXPECT_EQ(
    std::tie(before.level, before.message),
    std::make_tuple(HealthLevel::ok, "waiting for images"));

  // Cameras that stop altogether (the last image at 4.953 s) are waited for, too.
  Rig rig;
  Node stopped;
  stopped.run(rig.frames(0, 50), 120000);
  EXPECT_EQ(stopped.lines, std::vector<Line>());
  const HealthSummary after = stopped.monitor.summary(at(120 * kSecond));
  EXPECT_EQ(after.level, HealthLevel::ok);
  EXPECT_EQ(after.message, "no image on any input for 115.0 s");
}

TEST(PairingMonitor, ASilentCameraIsNamedTwoSecondsIntoTheStallAgainEveryTenAndItsReturnIsSaid)
{
  // Frame 40's set at 4.053 s is the last before camera 2 stops (its last colour at 4.050 s).
  for (const int back : {90, 290}) {
    Rig rig;
    Node node;
    node.run(rig.frames(0, 41), 4100);
    node.run(rig.frames(41, back, false), back * 100);
    node.run(rig.frames(back, back + 10), back * 100 + 1000);
    std::vector<Line> expected;
    for (int warning = 6075, silence = 2; warning < back * 100; warning += 10000, silence += 10) {
      expected.emplace_back(
        warning, "WARN", camera_2_silent_for(std::to_string(silence) + ".0 s"));
    }
    expected.emplace_back(
      back * 100 + 53, "INFO",
      "Sets are paired again after " + std::to_string(back / 10 - 4) + ".0 s without one");
    EXPECT_EQ(node.lines, expected);
  }

  // A camera that never sent anything (a wrong topic, say) is silent since the first image.
  Rig rig;
  Node never;
  never.run(rig.frames(0, 30, false), 3000);
  EXPECT_EQ(never.lines, (std::vector<Line>{{2075, "WARN", camera_2_silent_for("2.1 s")}}));
}

TEST(PairingMonitor, StampsTooFarApartToPairNameTheInputsTheClocksOrTheBound)
{
  // Camera 2's clock 12 s ahead. Until an input's second image any set is taken: the last is
  // frame 0's, at 0.075 s.
  const std::string clocks =
    "camera 1 and camera 2 stamps differ by 12.0 s: are their clocks synchronised?";
  Rig ahead;
  ahead.camera_2.clock_offset_ns = 12 * kSecond;
  Node node;
  node.run(ahead.frames(0, 250), 25000);
  EXPECT_EQ(
    node.lines,
    (std::vector<Line>{{2075, "WARN", clocks}, {12075, "WARN", clocks}, {22075, "WARN", clocks}}));

  // The cause is looked at again for each warning: camera 2 comes back with that clock.
  Rig back;
  Node again;
  again.run(back.frames(0, 41), 4100);
  again.run(back.frames(41, 90, false), 9000);
  back.camera_2.clock_offset_ns = 12 * kSecond;
  again.run(back.frames(90, 170), 17000);
  EXPECT_EQ(
    again.lines,
    (std::vector<Line>{{6075, "WARN", camera_2_silent_for("2.0 s")}, {16075, "WARN", clocks}}));

  // Camera 1's depth stamped 800 ms late by its driver, arriving in time.
  Rig late;
  late.camera_1.depth_after_colour_ns = 0;
  Images images = late.frames(0, 30);
  for (test::SyntheticImage & image : images) {
    image.stamp_ns += image.input == CameraInput::depth_1 ? 800 * kMillisecond : 0;
  }
  Node depth;
  depth.run(images, 3000);
  EXPECT_EQ(
    depth.lines, (std::vector<Line>{
        {2075, "WARN", "camera 1 colour and camera 1 depth stamps differ by 800 ms"}}));

  // Camera 2 44 ms behind and a fixed bound of 20 ms: no set is taken from the first image on
  // (0.020 s). With the bound off, they are.
  Rig wide;
  wide.camera_1.depth_after_colour_ns = wide.camera_2.depth_after_colour_ns = 1 * kMillisecond;
  wide.camera_2.first_capture_ns = 44 * kMillisecond;
  Node fixed(0.02);
  fixed.run(wide.frames(0, 30), 3000);
  EXPECT_EQ(
    fixed.lines, (std::vector<Line>{
        {2075, "WARN", "camera 1 colour and camera 2 depth stamps differ by 45 ms, more than the "
          "20 ms a set may span (parameter max_set_interval)"}}));
  Node off(0.0);
  off.run(wide.frames(30, 60), 6000);
  EXPECT_EQ(off.lines, std::vector<Line>());

  // Nothing to blame: sets are formed but never reach the monitor.
  Rig rig;
  Node lost;
  lost.fate = Node::SetFate::lost;
  lost.run(rig.frames(0, 30), 3000);
  EXPECT_EQ(
    lost.lines, (std::vector<Line>{
        {2075, "WARN", "images arrive but no set was paired for 2.1 s"}}));
}

TEST(PairingMonitor, TheSummaryCountsWhatHappenedAndItsLevelMatchesTheLog)
{
  // Frame 85 loses camera 2's depth, frame 87 camera 1's colour.
  Rig rig;
  Images images = rig.frames(0, 90);
  images.erase(
    std::remove_if(
      images.begin(), images.end(), [](const test::SyntheticImage & image) {
        return (image.frame == 85 && image.input == CameraInput::depth_2) ||
        (image.frame == 87 && image.input == CameraInput::rgb_1);
      }), images.end());
  Node node;
  node.run(images, 9010);
  node.monitor.summary(at(9010 * kMillisecond));
  node.monitor.on_frame_rejected("Unknown encoding foo", at(9010 * kMillisecond));
  node.run(rig.frames(90, 100), 10010);
  // The window since the last summary holds frames 90 to 99.
  const HealthSummary summary = node.monitor.summary(at(10010 * kMillisecond));
  EXPECT_EQ(summary.level, HealthLevel::error);
  EXPECT_EQ(summary.message, "frame rejected as bad input: Unknown encoding foo");
  EXPECT_EQ(
    summary.values, (std::vector<std::pair<std::string, std::string>>{
        {"camera 1 colour rate (Hz)", "10.0"}, {"camera 1 depth rate (Hz)", "10.0"},
        {"camera 2 colour rate (Hz)", "10.0"}, {"camera 2 depth rate (Hz)", "10.0"},
        {"sets processed (per second)", "10.0"}, {"sets dropped (incomplete or mixed)", "2"},
        {"sets dropped as incomplete", "2"}, {"sets dropped as mixed", "0"},
        {"frames rejected as bad input", "1"}, {"last rejection reason", "Unknown encoding foo"},
        {"pairing bound (max_set_interval)",
          "learned: 50.0 ms (half of camera 1 colour's 100.0 ms period)"},
        {"camera 1 colour period", "100.0 ms"}, {"camera 1 depth period", "100.0 ms"},
        {"camera 2 colour period", "100.0 ms"}, {"camera 2 depth period", "100.0 ms"}}));

  // Camera 2 silent after frame 99's set at 9.953 s: the status warns in the log's words once
  // the log does, and is well again with the next set.
  node.run(rig.frames(100, 120, false), 11900);
  EXPECT_EQ(node.monitor.summary(at(11900 * kMillisecond)).level, HealthLevel::ok);
  node.run(rig.frames(120, 121, false), 11990);
  const HealthSummary stalled = node.monitor.summary(at(11990 * kMillisecond));
  EXPECT_EQ(node.lines, (std::vector<Line>{{11975, "WARN", camera_2_silent_for("2.0 s")}}));
  EXPECT_EQ(
    std::tie(stalled.level, stalled.message),
    std::make_tuple(HealthLevel::warn, camera_2_silent_for("2.0 s")));
  EXPECT_EQ(stalled.values[2].second, "0.0") << "camera 2's colour rate";
  node.run(rig.frames(121, 130), 13000);
  EXPECT_EQ(node.monitor.summary(at(13000 * kMillisecond)).level, HealthLevel::ok);

  // Sets rejected as bad input are errors of their own, not a stall: the node logs each.
  Node rejecting;
  rejecting.fate = Node::SetFate::rejected;
  rejecting.run(rig.frames(130, 330), 33000);
  EXPECT_EQ(rejecting.lines, std::vector<Line>());
  EXPECT_EQ(rejecting.monitor.summary(at(33 * kSecond)).level, HealthLevel::error);
  EXPECT_EQ(rejecting.monitor.summary(at(33 * kSecond)).level, HealthLevel::ok);
}

}  // namespace
}  // namespace tavrinox_camera_convertor
