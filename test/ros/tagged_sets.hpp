// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// Sets that carry their number in their pixels: stand-in cameras that publish them with any
// image left out, and the node's outputs read back as frames, each output saying which set it
// came from.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include <rclcpp/rclcpp.hpp>

#include "output_harness.hpp"
#include "set_tag.hpp"
#include "stamp_units.hpp"
#include "tavrinox_camera_convertor/geometry/camera_config.hpp"

namespace tavrinox_camera_convertor::test
{

/// Stamps of the stand-in cameras: 10 Hz from here.
inline constexpr std::int64_t kFirstStamp = 1000 * kSecond;
inline constexpr std::int64_t kPeriod = 100 * kMillisecond;

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
    images_ = {color_image("rgb8"), depth_image(true, 900), color_image("rgb8"),
      depth_image(false, 880)};
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

/// @brief The outputs received, grouped into the node's frames.
///
/// The node stamps each output from its clock as it makes it: cam1 cloud, cam2 cloud, both
/// images (one stamp), converted cloud; the next frame starts after. So in stamp order a frame
/// ends where the order of the kinds starts again, whatever sets the outputs came from.
inline std::vector<NodeFrame> node_frames(const Harness & harness, const CameraConfig & config)
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

inline std::string describe(const std::vector<NodeFrame> & frames)
{
  std::string text = std::to_string(frames.size()) + " frames (cam1 cam2 depth colour converted):";
  for (const NodeFrame & frame : frames) {
    text += " " + frame.text();
  }
  return text;
}

}  // namespace tavrinox_camera_convertor::test
