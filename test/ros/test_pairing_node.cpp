// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// The node executable over the middleware when cameras misbehave: images lost, a camera gone
// silent, camera clocks far apart. Each set carries its number in its pixels, so every output
// says which set it came from; what the node logs and reports on /diagnostics is read as a user
// would read it.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include <diagnostic_msgs/msg/diagnostic_array.hpp>
#include <diagnostic_msgs/msg/diagnostic_status.hpp>

#include "node_process.hpp"
#include "output_harness.hpp"
#include "set_tag.hpp"
#include "tavrinox_camera_convertor/geometry/camera_config.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

using diagnostic_msgs::msg::DiagnosticArray;
using diagnostic_msgs::msg::DiagnosticStatus;
using test::Harness;
using test::Image;
using namespace std::chrono_literals;

constexpr std::int64_t kMillisecond = 1000000;
constexpr std::int64_t kSecond = 1000 * kMillisecond;
/// Stamps of the stand-in cameras: 10 Hz from here.
constexpr std::int64_t kFirstStamp = 1000 * kSecond;
constexpr std::int64_t kPeriod = 100 * kMillisecond;

constexpr const char * kStatusName = "Morvanteq: pairing and conversion";

int unique_domain_id()
{
  // One process per test (ctest), so the process id keeps concurrent tests apart.
  return 1 + static_cast<int>(getpid() % 200);
}

/// A bit per input in synchronizer order: rgb_1, depth_1, rgb_2, depth_2.
enum Lost : std::uint8_t
{
  kNone = 0,
  kRgb1 = 1,
  kDepth1 = 2,
  kRgb2 = 4,
  kDepth2 = 8,
  kCamera2 = kRgb2 | kDepth2,
};

/// Both cameras as the node's inputs, each set tagged with its number: any image can be left
/// out and camera 2's clock can be set elsewhere.
class TaggedCameras
{
public:
  explicit TaggedCameras(rclcpp::Node & node)
  {
    const std::array<const char *, 4> topics = {
      "/test/rgb_1", "/test/depth_1", "/test/rgb_2", "/test/depth_2"};
    for (std::size_t k = 0; k < topics.size(); ++k) {
      publishers_[k] = node.create_publisher<Image>(topics[k], 10);
    }
    images_ = {test::color_image("rgb8"), test::depth_image(true, 900), test::color_image("rgb8"),
      test::depth_image(false, 880)};
  }

  /// @brief Whether every input has met the node's subscription.
  bool matched() const
  {
    return std::all_of(
      publishers_.begin(), publishers_.end(),
      [](const auto & publisher) {return publisher->get_subscription_count() > 0;});
  }

  /// @brief Publishes set `set`, stamped at its place in the 10 Hz stream, but the `lost`
  ///        images; camera 2's stamps `camera_2_offset_ns` away.
  void publish(std::uint32_t set, std::uint8_t lost = kNone, std::int64_t camera_2_offset_ns = 0)
  {
    for (std::size_t k = 0; k < images_.size(); ++k) {
      if ((lost >> k) & 1u) {
        continue;
      }
      Image image = images_[k];
      const std::int64_t stamp =
        kFirstStamp + set * kPeriod + (k >= 2 ? camera_2_offset_ns : 0);
      image.header.stamp.sec = static_cast<std::int32_t>(stamp / kSecond);
      image.header.stamp.nanosec = static_cast<std::uint32_t>(stamp % kSecond);
      image.header.frame_id = "camera";
      if (image.encoding == "rgb8") {
        write_color_tag(set, image.data.data());
      } else {
        write_depth_tag(set, image.data.data());
      }
      publishers_[k]->publish(image);
    }
  }

private:
  std::array<rclcpp::Publisher<Image>::SharedPtr, 4> publishers_;
  std::array<Image, 4> images_;
};

/// One frame of the node's outputs: which set each of the five came from, if it came.
struct NodeFrame
{
  std::array<std::optional<std::uint32_t>, 5> sets;
  std::array<bool, 5> present{};

  bool whole() const
  {
    return std::all_of(present.begin(), present.end(), [](bool p) {return p;});
  }

  /// @brief Whether any two outputs that came say different sets (or one says none).
  bool mixed() const
  {
    std::set<std::optional<std::uint32_t>> seen;
    for (std::size_t k = 0; k < sets.size(); ++k) {
      if (present[k]) {
        seen.insert(sets[k]);
      }
    }
    return seen.size() > 1 || seen.count(std::nullopt) > 0;
  }

  std::string text() const
  {
    std::string out = "[";
    for (std::size_t k = 0; k < sets.size(); ++k) {
      out += k == 0 ? "" : " ";
      out += !present[k] ? "-" : (sets[k] ? std::to_string(*sets[k]) : "?");
    }
    return out + "]";
  }
};

std::int64_t stamp_ns(const builtin_interfaces::msg::Time & stamp)
{
  return static_cast<std::int64_t>(stamp.sec) * kSecond + stamp.nanosec;
}

/// @brief The outputs received, grouped into the node's frames.
///
/// The node stamps each output from its clock as it makes it: cam1 cloud, cam2 cloud, both
/// images (one stamp), converted cloud; the next frame starts after. So in stamp order a frame
/// ends where the order of the kinds starts again, whatever sets the outputs came from.
std::vector<NodeFrame> node_frames(const Harness & harness, const CameraConfig & config)
{
  std::vector<std::tuple<std::int64_t, std::size_t, std::optional<std::uint32_t>>> outputs;
  const auto add_cloud = [&](const auto & clouds, OutputKind kind) {
      const ExtrinsicTransform & extrinsic =
        kind == OutputKind::cam2_cloud ? config.extrinsic_2 : config.extrinsic_1;
      for (const auto & cloud : clouds) {
        const std::size_t records = cloud->point_step == 16 ? cloud->data.size() / 16 : 0;
        outputs.emplace_back(
          stamp_ns(cloud->header.stamp), static_cast<std::size_t>(kind),
          read_cloud_tag(cloud->data.data(), records, extrinsic));
      }
    };
  add_cloud(harness.cam1, OutputKind::cam1_cloud);
  add_cloud(harness.cam2, OutputKind::cam2_cloud);
  add_cloud(harness.converted, OutputKind::converted_cloud);
  for (const auto & image : harness.depth) {
    outputs.emplace_back(
      stamp_ns(image->header.stamp), static_cast<std::size_t>(OutputKind::depth_image),
      image->data.size() >= 2 * kTagPixels ? read_depth_tag(image->data.data()) : std::nullopt);
  }
  for (const auto & image : harness.color) {
    outputs.emplace_back(
      stamp_ns(image->header.stamp), static_cast<std::size_t>(OutputKind::color_image),
      image->data.size() >= 3 * kTagPixels ? read_color_tag(image->data.data()) : std::nullopt);
  }
  std::sort(outputs.begin(), outputs.end());
  std::vector<NodeFrame> frames;
  std::optional<std::size_t> previous;
  for (const auto & [stamp, kind, set] : outputs) {
    if (!previous || kind <= *previous) {
      frames.emplace_back();
    }
    frames.back().present[kind] = true;
    frames.back().sets[kind] = set;
    previous = kind;
  }
  return frames;
}

/// One status of the node on /diagnostics, as received.
struct Status
{
  std::chrono::steady_clock::time_point received;
  std::uint8_t level = DiagnosticStatus::OK;
  std::string message;
  std::map<std::string, std::string> values;
};

/// The node executable with `arguments`, the harness and tagged cameras in a domain of their
/// own, and the node's statuses from /diagnostics.
class FaultRig
{
public:
  explicit FaultRig(const std::vector<std::string> & arguments = {})
  : config_text_(test::kConfig), prefix_(&config_text_), domain_(unique_domain_id()),
    node_(TAVRINOX_NODE_EXECUTABLE, prefix_, domain_, arguments), harness_(domain_),
    cameras_(harness_.node())
  {
    std::ostringstream printed;
    config_ = load_camera_config(prefix_.config_path(), printed);
    diagnostics_ = harness_.node().create_subscription<DiagnosticArray>(
      "/diagnostics", 10, [this](DiagnosticArray::ConstSharedPtr array) {
        for (const DiagnosticStatus & status : array->status) {
          if (status.name != kStatusName) {
            continue;
          }
          Status kept{std::chrono::steady_clock::now(), status.level, status.message, {}};
          for (const auto & value : status.values) {
            kept.values[value.key] = value.value;
          }
          statuses.push_back(kept);
        }
      });
  }

  /// @brief Starts the node and waits until both sides of every topic have matched.
  ::testing::AssertionResult wait_until_ready()
  {
    if (!node_.wait_for_output("Subscribe topic_2:", 20s)) {
      return ::testing::AssertionFailure() << "the node did not start: " << node_.output();
    }
    // Our cameras' endpoints were made before the handshake's client, so its answer covers them.
    if (!harness_.wait_for_node(20s) ||
      !harness_.spin_until(
        20s, [this] {
          return cameras_.matched() && diagnostics_->get_publisher_count() > 0;
        }))
    {
      return ::testing::AssertionFailure() << "the node's topics never matched";
    }
    return ::testing::AssertionSuccess();
  }

  /// @brief Publishes sets [first, end), one every `pace`, receiving meanwhile.
  template<typename LostOf>
  void stream(
    std::uint32_t first, std::uint32_t end, std::chrono::milliseconds pace, LostOf lost_of,
    std::int64_t camera_2_offset_ns = 0)
  {
    for (std::uint32_t set = first; set < end; ++set) {
      cameras_.publish(set, lost_of(set), camera_2_offset_ns);
      harness_.spin_for(pace);
    }
  }

  /// @brief Publishes whole sets from `first` on, every 100 ms, until `done` or `timeout`;
  ///        the set after the last one published.
  template<typename Done>
  std::uint32_t stream_until(
    std::uint32_t first, std::uint8_t lost, std::chrono::seconds timeout, Done done,
    std::int64_t camera_2_offset_ns = 0)
  {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::uint32_t set = first;
    while (!done() && std::chrono::steady_clock::now() < deadline) {
      cameras_.publish(set++, lost, camera_2_offset_ns);
      harness_.spin_for(100ms);
    }
    return set;
  }

  /// @brief The latest status received after `since`, if any.
  std::optional<Status> status_after(std::chrono::steady_clock::time_point since) const
  {
    for (auto it = statuses.rbegin(); it != statuses.rend(); ++it) {
      if (it->received > since) {
        return *it;
      }
    }
    return std::nullopt;
  }

  std::vector<NodeFrame> frames() const {return node_frames(harness_, config_);}

  Harness & harness() {return harness_;}
  test::NodeProcess & node() {return node_;}

  std::vector<Status> statuses;

private:
  std::string config_text_;
  test::TemporaryPackagePrefix prefix_;
  int domain_;
  test::NodeProcess node_;
  Harness harness_;
  TaggedCameras cameras_;
  CameraConfig config_;
  rclcpp::Subscription<DiagnosticArray>::SharedPtr diagnostics_;
};

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

std::string describe(const std::vector<NodeFrame> & frames)
{
  std::string text = std::to_string(frames.size()) + " frames (cam1 cam2 depth colour converted):";
  for (const NodeFrame & frame : frames) {
    text += " " + frame.text();
  }
  return text;
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
  std::uint32_t set = rig.stream_until(0, kNone, 10s, warned, 12 * kSecond);
  ASSERT_TRUE(warned()) << rig.node().output();
  std::printf(
    "warning after %.2f s of images\n",
    std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count());

  const auto warn_status = [&] {
      const std::optional<Status> status = rig.status_after(started);
      return status && status->level == DiagnosticStatus::WARN &&
             status->message.find(text) != std::string::npos;
    };
  set = rig.stream_until(set, kNone, 5s, warn_status, 12 * kSecond);
  EXPECT_TRUE(warn_status()) << (rig.statuses.empty() ? "no status" : rig.statuses.back().message);
  rig.harness().spin_for(300ms);
  EXPECT_TRUE(rig.harness().order.empty()) << describe(rig.frames());
}

}  // namespace
}  // namespace tavrinox_camera_convertor

int main(int argc, char ** argv)
{
  ::testing::InitGoogleTest(&argc, argv);
  tavrinox_camera_convertor::test::use_test_middleware();
  return RUN_ALL_TESTS();
}
