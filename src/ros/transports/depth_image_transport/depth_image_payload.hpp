// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <sensor_msgs/msg/image.hpp>

#include "tavrinox_camera_convertor/codec/depth_image_codec.hpp"
#include "tavrinox_camera_convertor/geometry/depth_pixels.hpp"
#include "tavrinox_camera_convertor/geometry/image.hpp"
#include "tavrinox_camera_convertor/ros/transports/compressed_cloud_message.hpp"

namespace tavrinox_camera_convertor
{

/**
 * @brief What the "tavrinox_depth" image transport carries: a 16-bit depth image (`16UC1` or
 *        `mono16`), losslessly, rebuilt with rows without padding in this machine's byte order.
 *        At 1280 x 720 a millisecond or two where compressedDepth's PNG takes fifty.
 */
class DepthImagePayload
{
public:
  static constexpr const char * kTransport = kDepthImageTransport;
  static constexpr const char * kCarries = "16UC1, mono16";
  static constexpr const char * kLogger = "tavrinox_depth_image_transport";

  static bool carries(const std::string & encoding)
  {
    return encoding == "16UC1" || encoding == "mono16";
  }

  void encode(
    const sensor_msgs::msg::Image & image, const std::string & topic,
    std::vector<std::uint8_t> & data)
  {
    encoder_.encode(DepthPixels(view_of_message(image), topic, scratch_), data);
  }

  std::shared_ptr<sensor_msgs::msg::Image> decode(
    const std::vector<std::uint8_t> & data, const std::string &)
  {
    auto image = std::make_shared<sensor_msgs::msg::Image>();
    decoder_.decode(data.data(), data.size(), image->width, image->height, millimetres_);
    image->is_bigendian = host_is_bigendian() ? 1 : 0;
    image->step = 2 * image->width;
    image->data.resize(2 * millimetres_.size());
    if (!millimetres_.empty()) {
      std::memcpy(image->data.data(), millimetres_.data(), image->data.size());
    }
    return image;
  }

private:
  DepthImageEncoder encoder_;
  std::vector<std::uint16_t> scratch_;
  DepthImageDecoder decoder_;
  std::vector<std::uint16_t> millimetres_;
};

}  // namespace tavrinox_camera_convertor
