// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <sensor_msgs/msg/image.hpp>

#include "tavrinox_camera_convertor/codec/cloud_codec_error.hpp"
#include "tavrinox_camera_convertor/codec/color_image_codec.hpp"
#include "tavrinox_camera_convertor/geometry/image.hpp"

namespace tavrinox_camera_convertor
{

/// The colour images' transport: subtopics are `<image topic>/tavrinox_color`.
inline constexpr const char * kColorImageTransport = "tavrinox_color";

/**
 * @brief What the "tavrinox_color" image transport carries: an 8-bit colour image (rgb8, bgr8,
 *        rgba8 or bgra8), losslessly, rebuilt with rows without padding. At 1280 x 720 a few
 *        milliseconds on one core where the compressed transport's PNG takes tens, and no more
 *        bytes on camera images.
 */
class ColorImagePayload
{
public:
  static constexpr const char * kTransport = kColorImageTransport;
  static constexpr const char * kCarries = "rgb8, bgr8, rgba8 or bgra8";
  static constexpr const char * kLogger = "tavrinox_color_image_transport";

  static bool carries(const std::string & encoding)
  {
    return color_layout_of(encoding).has_value();
  }

  void encode(
    const sensor_msgs::msg::Image & image, const std::string &, std::vector<std::uint8_t> & data)
  {
    encoder_.encode(view_of_message(image), data);
  }

  std::shared_ptr<sensor_msgs::msg::Image> decode(
    const std::vector<std::uint8_t> & data, const std::string & encoding)
  {
    auto image = std::make_shared<sensor_msgs::msg::Image>();
    const ColorLayout layout =
      decoder_.decode(data.data(), data.size(), image->width, image->height, image->data);
    if (layout != *color_layout_of(encoding)) {
      throw CloudCodecError(
              std::string("the payload holds a ") + encoding_of(layout) +
              " image, its format says " + encoding);
    }
    image->is_bigendian = 0;
    image->step = channels_of(layout) * image->width;
    return image;
  }

private:
  ColorImageEncoder encoder_;
  ColorImageDecoder decoder_;
};

}  // namespace tavrinox_camera_convertor
