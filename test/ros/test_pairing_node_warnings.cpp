// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// The node executable over the middleware when a camera falls silent or the cameras' clocks are
// far apart: what it logs and reports on /diagnostics, read as a user would read it, and that no
// output mixes two sets meanwhile.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include <diagnostic_msgs/msg/diagnostic_status.hpp>

#include "fault_rig.hpp"
#include "stamp_units.hpp"
#include "tagged_sets.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

using diagnostic_msgs::msg::DiagnosticStatus;
using test::describe;
using test::FaultRig;
using test::kCamera2;
using test::kNone;
using test::NodeFrame;
using test::Status;
using namespace std::chrono_literals;

TEST(NodePairing, ASilentCameraIsNamedWithinSecondsAndItsReturnIsSaid)
{
  FaultRig rig;
  ASSERT_TRUE(rig.wait_until_ready());
  std::uint32_t set = rig.stream_until(
    0, kNone, 10s, [&] {
      return rig.frames().size() >= 10 && rig.status_after({}) &&
      rig.statuses.back().message.rfind("sets paired at", 0) == 0;
    });
  ASSERT_EQ(rig.statuses.back().level, DiagnosticStatus::OK) << rig.statuses.back().message;

  // Camera 2 goes silent; camera 1 goes on.
  const auto silent_from = std::chrono::steady_clock::now();
  const auto warned = [&] {
      return rig.node().output().find("camera 2 depth: no image for") != std::string::npos;
    };
  set = rig.stream_until(set, kCamera2, 10s, warned);
  ASSERT_TRUE(warned()) << rig.node().output();
  std::printf(
    "warning after %.2f s of silence\n",
    std::chrono::duration<double>(std::chrono::steady_clock::now() - silent_from).count());
  const std::string log = rig.node().output();
  EXPECT_NE(log.find("[WARN]"), std::string::npos) << log;
  EXPECT_NE(log.find("camera 2 colour: no image for"), std::string::npos) << log;
  EXPECT_EQ(log.find("camera 1 colour: no image"), std::string::npos) << log;

  // Diagnostics say the same at WARN level.
  const auto warn_status = [&] {
      const std::optional<Status> status = rig.status_after(silent_from);
      return status && status->level == DiagnosticStatus::WARN &&
             status->message.find("camera 2 depth: no image for") != std::string::npos;
    };
  set = rig.stream_until(set, kCamera2, 5s, warn_status);
  ASSERT_TRUE(warn_status()) << (rig.statuses.empty() ? "no status" : rig.statuses.back().message);

  // Camera 2 is back: one line says so, and sets come whole again.
  rig.harness().clear();
  const std::uint32_t back_from = set;
  const auto resumed = [&] {
      return rig.node().output().find("Sets are paired again after") != std::string::npos;
    };
  set = rig.stream_until(set, kNone, 10s, resumed);
  ASSERT_TRUE(resumed()) << rig.node().output();
  const auto back_at = std::chrono::steady_clock::now();
  const auto ok_status = [&] {
      const std::optional<Status> status = rig.status_after(back_at);
      return status && status->level == DiagnosticStatus::OK;
    };
  set = rig.stream_until(set, kNone, 5s, ok_status);
  ASSERT_TRUE(ok_status()) << rig.statuses.back().message;
  set = rig.stream_until(set, kNone, 1s, [] {return false;});
  rig.harness().spin_for(300ms);

  const std::vector<NodeFrame> frames = rig.frames();
  std::set<std::uint32_t> delivered;
  for (const NodeFrame & frame : frames) {
    EXPECT_FALSE(frame.mixed()) << describe(frames);
    if (frame.whole() && frame.sets[0]) {
      delivered.insert(*frame.sets[0]);
    }
  }
  for (std::uint32_t expected = back_from; expected + 1 < set; ++expected) {
    EXPECT_EQ(delivered.count(expected), 1u) << "set " << expected << ": " << describe(frames);
  }
  EXPECT_EQ(rig.statuses.back().message.rfind("sets paired at", 0), 0u);
}

TEST(NodePairing, CameraClocksTwelveSecondsApartGiveNothingButAWarningNamingThem)
{
  FaultRig rig;
  ASSERT_TRUE(rig.wait_until_ready());
  const auto started = std::chrono::steady_clock::now();
  const std::string text =
    "camera 1 and camera 2 stamps differ by 12.0 s: are their clocks synchronised?";
  const auto warned = [&] {return rig.node().output().find(text) != std::string::npos;};
  std::uint32_t set = rig.stream_until(0, kNone, 10s, warned, 12 * test::kSecond);
  ASSERT_TRUE(warned()) << rig.node().output();
  std::printf(
    "warning after %.2f s of images\n",
    std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count());

  const auto warn_status = [&] {
      const std::optional<Status> status = rig.status_after(started);
      return status && status->level == DiagnosticStatus::WARN &&
             status->message.find(text) != std::string::npos;
    };
  set = rig.stream_until(set, kNone, 5s, warn_status, 12 * test::kSecond);
  EXPECT_TRUE(warn_status()) << (rig.statuses.empty() ? "no status" : rig.statuses.back().message);
  rig.harness().spin_for(300ms);
  EXPECT_TRUE(rig.harness().order.empty()) << describe(rig.frames());
}

}  // namespace
}  // namespace tavrinox_camera_convertor
