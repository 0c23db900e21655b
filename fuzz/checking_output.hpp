// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// A frame output that checks each output as it is published, against the frame's inputs:
// the order of the five, consistent messages, measured depth kept, no more points than pixels.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "frame_acceptance.hpp"
#include "fuzz_finding.hpp"
#include "tavrinox_camera_convertor/geometry/image.hpp"
#include "tavrinox_camera_convertor/pipeline/frame_output.hpp"

namespace tavrinox_camera_convertor::fuzz
{

inline std::size_t count_nonzero_depth(const ImageMessage & image)
{
  std::size_t count = 0;
  for (std::size_t i = 0; i + 1 < image.data.size(); i += 2) {
    count += image.data[i] != 0 || image.data[i + 1] != 0;
  }
  return count;
}

/// Checks each output as it is published, against the frame's inputs.
class CheckingOutput : public FrameOutput
{
public:
  CheckingOutput(
    const ImageView & depth_1, const ImageView & depth_2, const ImageView & rgb_1)
  : depth_1_(depth_1), depth_2_(depth_2), rgb_1_(rgb_1)
  {
  }

  void publish_cam1_cloud(CloudMessage & message) override
  {
    expect_next(0);
    check_cloud(message, static_cast<std::uint64_t>(depth_1_.width) * depth_1_.height);
  }

  void publish_cam2_cloud(CloudMessage & message) override
  {
    expect_next(1);
    check_cloud(message, static_cast<std::uint64_t>(depth_2_.width) * depth_2_.height);
  }

  void publish_depth_image(ImageMessage & message) override
  {
    expect_next(2);
    require(message.encoding == "16UC1", "depth image: encoding is not 16UC1");
    require(
      message.width == depth_1_.width && message.height == depth_1_.height,
      "depth image: size differs from camera 1's depth image");
    require(
      message.step == 2 * static_cast<std::uint64_t>(message.width),
      "depth image: step is not 2 x width");
    require(
      message.data.size() == static_cast<std::uint64_t>(message.step) * message.height,
      "depth image: data size is not step x height");
    check_measured_depth_kept(message);
    completed_depth_points_ = count_nonzero_depth(message);
  }

  void publish_color_image(ImageMessage & message) override
  {
    expect_next(3);
    require(message.encoding == "rgb8", "colour image: encoding is not rgb8");
    require(
      message.width == rgb_1_.width && message.height == rgb_1_.height,
      "colour image: size differs from camera 1's colour image");
    require(
      message.step == 3 * static_cast<std::uint64_t>(message.width),
      "colour image: step is not 3 x width");
    require(
      message.data.size() == static_cast<std::uint64_t>(message.step) * message.height,
      "colour image: data size is not step x height");
  }

  void publish_converted_cloud(CloudMessage & message) override
  {
    expect_next(4);
    check_cloud(message, completed_depth_points_);
    require(
      message.cloud.width == completed_depth_points_,
      "converted cloud: point count differs from the completed image's pixels with depth");
  }

  int published() const {return published_;}

private:
  void expect_next(int index)
  {
    require(published_ == index, "outputs out of order");
    ++published_;
  }

  static void check_cloud(const CloudMessage & message, std::uint64_t max_points)
  {
    const pcl::PCLPointCloud2 & cloud = message.cloud;
    require(message.header.frame_id == "arm", "cloud: frame id is not the configured one");
    require(
      cloud.height == 1 && cloud.point_step == 16,
      "cloud: not an unorganized cloud of 16-byte points");
    require(
      cloud.row_step == 16 * static_cast<std::uint64_t>(cloud.width),
      "cloud: row_step is not 16 x width");
    require(
      cloud.data.size() == static_cast<std::uint64_t>(cloud.row_step) * cloud.height,
      "cloud: data size is not row_step x height");
    require(cloud.width <= max_points, "cloud: more points than pixels");
  }

  /// Where camera 1 measured depth (read in place: host-order 16-bit), the published image keeps
  /// it.
  void check_measured_depth_kept(const ImageMessage & completed) const
  {
    // An empty image may still claim billions of rows: nothing to compare, nothing to walk.
    if (bytes_per_depth_pixel(depth_1_.encoding) != 2 ||
      depth_1_.is_bigendian != host_is_bigendian() || depth_1_.width == 0 ||
      depth_1_.height == 0)
    {
      return;
    }
    for (std::uint32_t row = 0; row < depth_1_.height; ++row) {
      for (std::uint32_t column = 0; column < depth_1_.width; ++column) {
        std::uint16_t measured;
        std::uint16_t published;
        std::memcpy(
          &measured,
          depth_1_.data + static_cast<std::size_t>(row) * depth_1_.step + 2u * column, 2);
        std::memcpy(
          &published,
          completed.data.data() + static_cast<std::size_t>(row) * completed.step + 2u * column, 2);
        require(
          measured == 0 || measured == published,
          "depth image: a measured pixel was not kept");
      }
    }
  }

  ImageView depth_1_;
  ImageView depth_2_;
  ImageView rgb_1_;
  int published_ = 0;
  std::uint64_t completed_depth_points_ = 0;
};

}  // namespace tavrinox_camera_convertor::fuzz
