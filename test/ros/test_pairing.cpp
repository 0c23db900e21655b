// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// message_filters' approximate-time synchronizer fed as the node feeds it (the monitor sees each
// image first and the bound it teaches reaches the synchronizer before the image does; the
// callback checks the bound again), on seeded streams of lost, jittered and late images. Every
// image names its camera's frame, so each delivered set says whether it mixes two moments.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include <sensor_msgs/msg/image.hpp>

#include "tavrinox_camera_convertor/pairing/camera_input.hpp"
#include "tavrinox_camera_convertor/pairing/pairing_bound.hpp"
#include "tavrinox_camera_convertor/pairing/pairing_monitor.hpp"
#include "tavrinox_camera_convertor/ros/image_synchronizer.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

using sensor_msgs::msg::Image;

constexpr std::int64_t kMillisecond = 1000000;
constexpr std::int64_t kSecond = 1000 * kMillisecond;
/// Stamps as a camera driver gives them: far from zero.
constexpr std::int64_t kEpoch = 1700000000 * kSecond;

/// How one camera's frames are timed.
struct CameraTiming
{
  std::int64_t period_ns = 100 * kMillisecond;
  std::int64_t first_capture_ns = 0;   ///< on the timeline both cameras share
  std::int64_t clock_offset_ns = 0;    ///< added to every stamp: a clock that is elsewhere
};

/// Two cameras and what befalls their images on the way to the node.
struct Streams
{
  std::array<CameraTiming, 2> cameras;
  std::int64_t duration_ns = 20 * kSecond;
  double loss = 0.0;                 ///< the chance of each image to be lost
  std::int64_t stamp_jitter_ns = 0;  ///< each stamp is off its capture by up to this, either way
  std::int64_t max_delay_ns = 0;     ///< each image arrives up to this long after its capture
  std::uint32_t seed = 1;
};

struct SentImage
{
  CameraInput input;
  int frame;  ///< the camera's own frame number
  std::int64_t stamp_ns;
  std::int64_t arrival_ns;
};

/// The images that reach the node, in order of arrival, and every frame each camera took.
struct Traffic
{
  std::vector<SentImage> images;
  std::array<int, 2> frames{};  ///< frames taken per camera, lost images or not
};

Traffic make_traffic(const Streams & streams)
{
  std::mt19937 random(streams.seed);
  std::bernoulli_distribution lost(streams.loss);
  std::uniform_int_distribution<std::int64_t> jitter(
    -streams.stamp_jitter_ns, streams.stamp_jitter_ns);
  std::uniform_int_distribution<std::int64_t> delay(0, streams.max_delay_ns);
  Traffic traffic;
  for (int camera = 0; camera < 2; ++camera) {
    const CameraTiming & timing = streams.cameras[camera];
    for (int frame = 0;; ++frame) {
      const std::int64_t capture = timing.first_capture_ns + frame * timing.period_ns;
      if (capture >= streams.duration_ns) {
        traffic.frames[camera] = frame;
        break;
      }
      for (const CameraInput input : {kCameraInputs[2 * camera], kCameraInputs[2 * camera + 1]}) {
        // Drawn whether lost or not, so that the loss does not shift the other draws.
        const std::int64_t stamp = kEpoch + capture + timing.clock_offset_ns + jitter(random);
        const std::int64_t arrival = capture + delay(random);
        if (!lost(random)) {
          traffic.images.push_back({input, frame, stamp, arrival});
        }
      }
    }
  }
  std::stable_sort(
    traffic.images.begin(), traffic.images.end(), [](const SentImage & a, const SentImage & b) {
      return a.arrival_ns < b.arrival_ns;
    });
  return traffic;
}

/// One set the synchronizer gave: the frame each image came from, and whether the bound took it.
struct GivenSet
{
  std::array<int, kCameraInputCount> frames{};
  InputStamps stamps{};
  bool accepted = false;
  bool learning = false;  ///< given while the learned bound was still unknown (unlimited)
};

/// The synchronizer and the monitor wired as in the node, without a middleware.
class NodePairing
{
public:
  explicit NodePairing(double max_set_interval_s)
  : monitor_(max_set_interval_s), sync_(ImageSyncPolicy(10))
  {
    using std::placeholders::_1;
    using std::placeholders::_2;
    using std::placeholders::_3;
    using std::placeholders::_4;
    sync_.registerCallback(std::bind(&NodePairing::on_set, this, _1, _2, _3, _4));
  }

  /// @brief Hands over the images in their order, at their arrival times.
  void feed(const std::vector<SentImage> & images)
  {
    for (const SentImage & sent : images) {
      now_ = PairingMonitor::TimePoint(std::chrono::nanoseconds(sent.arrival_ns));
      auto image = std::make_shared<Image>();
      image->header.stamp.sec = static_cast<std::int32_t>(sent.stamp_ns / kSecond);
      image->header.stamp.nanosec = static_cast<std::uint32_t>(sent.stamp_ns % kSecond);
      image->header.frame_id = std::to_string(sent.frame);
      monitor_.on_image(sent.input, sent.stamp_ns, now_);
      apply_pairing_bound(monitor_.pairing_bound(), applied_, sync_);
      add(sent.input, image);
    }
  }

  /// @brief What the node would log at WARN on a poll `after` the last arrival.
  std::optional<std::string> poll_after(std::chrono::nanoseconds after)
  {
    return monitor_.poll(now_ + after);
  }

  const std::vector<GivenSet> & sets() const {return sets_;}
  const PairingMonitor & monitor() const {return monitor_;}

private:
  void add(CameraInput input, std::shared_ptr<const Image> image)
  {
    const message_filters::MessageEvent<const Image> event(image);
    switch (input) {
      case CameraInput::rgb_1:
        sync_.add<0>(event);
        break;
      case CameraInput::depth_1:
        sync_.add<1>(event);
        break;
      case CameraInput::rgb_2:
        sync_.add<2>(event);
        break;
      case CameraInput::depth_2:
        sync_.add<3>(event);
        break;
    }
  }

  void on_set(
    const Image::ConstSharedPtr & rgb_1, const Image::ConstSharedPtr & depth_1,
    const Image::ConstSharedPtr & rgb_2, const Image::ConstSharedPtr & depth_2)
  {
    GivenSet set;
    const std::array<const Image *, kCameraInputCount> images = {
      rgb_1.get(), depth_1.get(), rgb_2.get(), depth_2.get()};
    for (std::size_t k = 0; k < images.size(); ++k) {
      set.frames[k] = std::stoi(images[k]->header.frame_id);
      set.stamps[k] =
        static_cast<std::int64_t>(images[k]->header.stamp.sec) * kSecond +
        images[k]->header.stamp.nanosec;
    }
    // The synchronizer holds candidates it formed before the bound last changed.
    const PairingBound & bound = monitor_.pairing_bound();
    set.accepted = bound.accepts(set.stamps);
    set.learning = bound.mode() == PairingBound::Mode::learned && !bound.bound_ns();
    if (set.accepted) {
      monitor_.on_set_processed(set.stamps, now_);
    } else {
      monitor_.on_set_mixed(set.stamps, now_);
    }
    sets_.push_back(set);
  }

  PairingMonitor monitor_;
  ImageSynchronizer sync_;
  std::optional<std::int64_t> applied_;
  PairingMonitor::TimePoint now_{};
  std::vector<GivenSet> sets_;
};

/// Which frame of camera 2 belongs with which of camera 1, and how the delivered sets fared.
class Moments
{
public:
  Moments(const Streams & streams, const Traffic & traffic)
  : streams_(streams), traffic_(traffic)
  {
    for (const SentImage & image : traffic.images) {
      ++present_[{camera_of(image.input), image.frame}];
    }
  }

  /// @brief The frame of camera 2 taken nearest to camera 1's `frame`, if within half the
  ///        shorter period; one moment then, whatever the stamps say.
  std::optional<int> partner(int frame_1) const
  {
    const CameraTiming & one = streams_.cameras[0];
    const CameraTiming & two = streams_.cameras[1];
    const std::int64_t capture = one.first_capture_ns + frame_1 * one.period_ns;
    const std::int64_t nearest = (capture - two.first_capture_ns + two.period_ns / 2) /
      two.period_ns;
    const std::int64_t distance =
      std::abs(two.first_capture_ns + nearest * two.period_ns - capture);
    if (nearest < 0 || nearest >= traffic_.frames[1] ||
      2 * distance > std::min(one.period_ns, two.period_ns))
    {
      return std::nullopt;
    }
    return static_cast<int>(nearest);
  }

  /// @brief Whether a set's four images were taken at one moment.
  bool one_moment(const GivenSet & set) const
  {
    return set.frames[0] == set.frames[1] && set.frames[2] == set.frames[3] &&
           partner(set.frames[0]) == set.frames[2];
  }

  /// @brief Whether all four images of camera 1's `frame` and its partner reached the node.
  bool complete(int frame_1) const
  {
    const std::optional<int> frame_2 = partner(frame_1);
    return frame_2 && present(1, frame_1) == 2 && present(2, *frame_2) == 2;
  }

  /// @brief Camera 1's frames that have a partner; the last is left out, as its set waits for
  ///        a later image to show that nothing better is coming.
  std::vector<int> paired_frames() const
  {
    std::vector<int> frames;
    for (int frame = 0; frame < traffic_.frames[0]; ++frame) {
      if (partner(frame)) {
        frames.push_back(frame);
      }
    }
    if (!frames.empty()) {
      frames.pop_back();
    }
    return frames;
  }

private:
  int present(int camera, int frame) const
  {
    const auto found = present_.find({camera, frame});
    return found == present_.end() ? 0 : found->second;
  }

  Streams streams_;
  Traffic traffic_;
  std::map<std::tuple<int, int>, int> present_;
};

/// What came of a run, counted from the frame tags.
struct Outcome
{
  int delivered = 0;
  int delivered_mixed = 0;  ///< once the bound is known
  int mixed_while_learning = 0;
  int refused = 0;
  int complete_frames = 0;
  int complete_frames_delivered = 0;
  int frames_delivered_twice = 0;
  int frames_taken = 0;  ///< by camera 1
  std::vector<std::string> mixed_examples;
};

/// @brief Feeds `streams` to `pairing` and tells the delivered sets apart by their frames.
Outcome run(const Streams & streams, NodePairing & pairing)
{
  const Traffic traffic = make_traffic(streams);
  pairing.feed(traffic.images);
  const Moments moments(streams, traffic);

  Outcome outcome;
  outcome.frames_taken = traffic.frames[0];
  std::map<int, int> deliveries;  // camera 1's frame, sets delivered with it
  for (const GivenSet & set : pairing.sets()) {
    if (!set.accepted) {
      ++outcome.refused;
      continue;
    }
    ++outcome.delivered;
    if (!moments.one_moment(set)) {
      ++(set.learning ? outcome.mixed_while_learning : outcome.delivered_mixed);
      if (outcome.mixed_examples.size() < 3) {
        outcome.mixed_examples.push_back(
          "frames " + std::to_string(set.frames[0]) + " " + std::to_string(set.frames[1]) + " " +
          std::to_string(set.frames[2]) + " " + std::to_string(set.frames[3]));
      }
      continue;
    }
    ++deliveries[set.frames[0]];
  }
  for (const int frame : moments.paired_frames()) {
    if (moments.complete(frame)) {
      ++outcome.complete_frames;
      outcome.complete_frames_delivered += deliveries.count(frame) > 0;
    }
  }
  for (const auto & [frame, count] : deliveries) {
    outcome.frames_delivered_twice += count > 1;
  }
  return outcome;
}

Outcome run(const Streams & streams, double max_set_interval_s)
{
  NodePairing pairing(max_set_interval_s);
  return run(streams, pairing);
}

std::string describe(const Outcome & outcome)
{
  std::string text = std::to_string(outcome.delivered) + " sets delivered, " +
    std::to_string(outcome.delivered_mixed) + " of them mixed (and " +
    std::to_string(outcome.mixed_while_learning) + " before the bound was known), " +
    std::to_string(outcome.refused) + " refused in the callback; " +
    std::to_string(outcome.complete_frames_delivered) + " of " +
    std::to_string(outcome.complete_frames) + " complete frames delivered";
  for (const std::string & example : outcome.mixed_examples) {
    text += "; mixed: " + example;
  }
  return text;
}

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
    const Outcome outcome = run(streams, pairing);
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
    const Outcome outcome = run(lossy_streams(seed), 0.0);
    EXPECT_GT(outcome.delivered_mixed, 5) << describe(outcome);
    EXPECT_EQ(outcome.refused, 0) << describe(outcome);
  }
}

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
      const Outcome whole = run(streams, -1.0);
      EXPECT_EQ(whole.delivered_mixed, 0) << describe(whole);
      EXPECT_GE(whole.complete_frames, 190);
      EXPECT_EQ(whole.complete_frames_delivered, whole.complete_frames) << describe(whole);
      EXPECT_EQ(whole.frames_delivered_twice, 0) << describe(whole);

      streams.loss = 0.1;
      const Outcome lossy = run(streams, -1.0);
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
      const Outcome outcome = run(streams, -1.0);
      EXPECT_EQ(outcome.delivered_mixed, 0) << describe(outcome);
      EXPECT_GE(outcome.complete_frames, loss > 0.0 ? 130 : 220);
      // A set for each frame of camera 2; one with camera 1's frames in between would be mixed.
      EXPECT_GE(outcome.complete_frames_delivered, 0.99 * outcome.complete_frames)
        << describe(outcome);
      EXPECT_EQ(outcome.frames_delivered_twice, 0) << describe(outcome);
    }
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
    const Outcome outcome = run(streams, -1.0);
    EXPECT_EQ(outcome.mixed_while_learning + outcome.delivered_mixed, 0) << describe(outcome);
  }
}

TEST(Pairing, CameraClocksTwelveSecondsApartDeliverNothingAndTheWarningNamesThem)
{
  Streams streams;
  streams.cameras[1].clock_offset_ns = 12 * kSecond;
  streams.duration_ns = 10 * kSecond;
  streams.stamp_jitter_ns = 2 * kMillisecond;
  streams.max_delay_ns = 20 * kMillisecond;
  NodePairing pairing(-1.0);
  const Outcome outcome = run(streams, pairing);
  EXPECT_EQ(outcome.delivered, 0) << describe(outcome);
  const std::optional<std::string> warning = pairing.poll_after(std::chrono::milliseconds(50));
  ASSERT_TRUE(warning.has_value());
  EXPECT_NE(warning->find("camera 1 and camera 2 stamps differ by 12.0 s"), std::string::npos)
    << *warning;
}

}  // namespace
}  // namespace tavrinox_camera_convertor
