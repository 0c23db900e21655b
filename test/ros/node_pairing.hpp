// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// message_filters' approximate-time synchronizer and the pairing monitor wired as the node wires
// them, without a middleware: the monitor sees each image first and the bound it teaches reaches
// the synchronizer before the image does; the callback checks the bound again.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <sensor_msgs/msg/image.hpp>

#include "pairing_streams.hpp"
#include "stamp_units.hpp"
#include "tavrinox_camera_convertor/pairing/camera_input.hpp"
#include "tavrinox_camera_convertor/pairing/pairing_bound.hpp"
#include "tavrinox_camera_convertor/pairing/pairing_monitor.hpp"
#include "tavrinox_camera_convertor/ros/image_synchronizer.hpp"

namespace tavrinox_camera_convertor::test
{

/// One set the synchronizer gave: the frame each image came from, and whether the bound took it.
struct GivenSet
{
  std::array<int, kCameraInputCount> frames{};
  InputStamps stamps{};
  bool accepted = false;
  bool learning = false;  ///< given while the learned bound was still unknown (unlimited)
};

/// The synchronizer and the monitor wired as in the node. Every image names its camera's frame,
/// so each set given says whether it mixes two moments.
class NodePairing
{
public:
  using Image = sensor_msgs::msg::Image;

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
      set.stamps[k] = stamp_ns(images[k]->header.stamp);
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

}  // namespace tavrinox_camera_convertor::test
