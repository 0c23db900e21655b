// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tavrinox_camera_convertor
{

/// Wall-clock time of a published message, as ROS message time.
struct Stamp
{
  std::int32_t sec = 0;
  std::uint32_t nanosec = 0;
};

/// Stamp and frame id of a published message.
struct Header
{
  Stamp stamp;
  std::string frame_id;
};

/// Read-only view of an image message's fields and pixel bytes; it owns nothing.
struct ImageView
{
  std::uint32_t height = 0;
  std::uint32_t width = 0;
  std::string_view encoding;
  bool is_bigendian = false;
  std::uint32_t step = 0;  ///< bytes per row, padding included
  const std::uint8_t * data = nullptr;
  std::size_t size = 0;  ///< bytes readable at `data`
};

/// An image message the converter produces, laid out like sensor_msgs/Image.
struct ImageMessage
{
  Header header;
  std::uint32_t height = 0;
  std::uint32_t width = 0;
  std::string encoding;
  std::uint8_t is_bigendian = 0;
  std::uint32_t step = 0;
  std::vector<std::uint8_t> data;
};

/// @brief Whether this machine stores multi-byte values most significant byte first.
bool host_is_bigendian();

/// @brief A view of any message laid out like sensor_msgs/Image, valid while it lives unchanged.
template<typename Message>
ImageView view_of_message(const Message & image)
{
  ImageView view;
  view.height = image.height;
  view.width = image.width;
  view.encoding = image.encoding;
  view.is_bigendian = image.is_bigendian != 0;
  view.step = image.step;
  view.data = image.data.data();
  view.size = image.data.size();
  return view;
}

/// @brief A view of `image`'s fields and bytes, valid while `image` lives unchanged.
inline ImageView view_of(const ImageMessage & image) {return view_of_message(image);}

/**
 * @brief Checks that every row of `image` lies inside its data.
 * @param bytes_per_pixel size of one pixel in the image's encoding
 * @param camera and @p kind name the image in the error text, for example "camera 1" and "depth image"
 * @throws FrameError when the step is shorter than a row or the data shorter than step x height
 */
void require_rows_inside_data(
  const ImageView & image, std::size_t bytes_per_pixel, std::string_view camera,
  std::string_view kind);

}  // namespace tavrinox_camera_convertor
