// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// What the frame pipeline must accept of an image message: the encodings it reads, and the
// documented reasons to reject a depth or colour image. The frame target checks every outcome
// against these.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string_view>

#include "tavrinox_camera_convertor/geometry/image.hpp"

namespace tavrinox_camera_convertor::fuzz
{

inline std::size_t bytes_per_depth_pixel(std::string_view encoding)
{
  if (encoding == "16UC1" || encoding == "mono16") {
    return 2;
  }
  return encoding == "32FC1" ? 4 : 0;
}

inline std::size_t colour_channels(std::string_view encoding)
{
  if (encoding == "rgb8" || encoding == "bgr8") {
    return 3;
  }
  if (encoding == "rgba8" || encoding == "bgra8") {
    return 4;
  }
  return encoding == "mono8" ? 1 : 0;
}

/// Whether every row the header claims lies inside the data (always so for an empty image).
inline bool rows_inside_data(const ImageView & image, std::size_t bytes_per_pixel)
{
  if (image.width == 0 || image.height == 0) {
    return true;
  }
  return image.step >= static_cast<std::uint64_t>(image.width) * bytes_per_pixel &&
         image.size >= static_cast<std::uint64_t>(image.step) * image.height;
}

/// The documented reasons to reject a depth image; the completed image's row must fit 32 bits.
inline bool depth_readable(const ImageView & image, bool is_camera_1)
{
  const std::size_t bytes_per_pixel = bytes_per_depth_pixel(image.encoding);
  if (bytes_per_pixel == 0 || !rows_inside_data(image, bytes_per_pixel)) {
    return false;
  }
  return !is_camera_1 ||
         2 * static_cast<std::uint64_t>(image.width) <= std::numeric_limits<std::uint32_t>::max();
}

inline bool colour_convertible(const ImageView & image)
{
  constexpr std::uint32_t kLargest = std::numeric_limits<int>::max() / 4;
  const std::size_t channels = colour_channels(image.encoding);
  return channels != 0 && image.width <= kLargest && image.height <= kLargest &&
         rows_inside_data(image, channels);
}

}  // namespace tavrinox_camera_convertor::fuzz
