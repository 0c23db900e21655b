// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "tavrinox_camera_convertor/geometry/depth_pixels.hpp"

#include <cmath>
#include <string>

#include "tavrinox_camera_convertor/geometry/frame_error.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

enum class DepthFormat { kMillimetres16, kMetres32 };

DepthFormat depth_format(const ImageView & image, std::string_view camera)
{
  if (image.encoding == "16UC1" || image.encoding == "mono16") {
    return DepthFormat::kMillimetres16;
  }
  if (image.encoding == "32FC1") {
    return DepthFormat::kMetres32;
  }
  throw FrameError(
          std::string(camera) + " depth image: encoding \"" + std::string(image.encoding) +
          "\" is not supported (expected 16UC1 or mono16 in millimetres, or 32FC1 in metres)");
}

std::uint16_t read_u16(const std::uint8_t * bytes, bool swap)
{
  std::uint16_t value;
  std::memcpy(&value, bytes, sizeof value);
  return swap ? static_cast<std::uint16_t>((value >> 8) | (value << 8)) : value;
}

std::uint16_t read_metres_as_millimetres(const std::uint8_t * bytes, bool swap)
{
  std::uint8_t ordered[4] = {bytes[0], bytes[1], bytes[2], bytes[3]};
  if (swap) {
    ordered[0] = bytes[3];
    ordered[1] = bytes[2];
    ordered[2] = bytes[1];
    ordered[3] = bytes[0];
  }
  float metres;
  std::memcpy(&metres, ordered, sizeof metres);
  const double value = static_cast<double>(metres);
  // NaN fails both comparisons; 65.5355 m and beyond would round past 65535 mm.
  if (!(value > 0.0) || !(value < 65.5355)) {
    return 0;
  }
  return static_cast<std::uint16_t>(std::floor(value * 1000.0 + 0.5));
}

}  // namespace

DepthPixels::DepthPixels(
  const ImageView & image, std::string_view camera, std::vector<std::uint16_t> & scratch)
: width_(image.width), height_(image.height), step_(image.step), data_(image.data)
{
  const DepthFormat format = depth_format(image, camera);
  const std::size_t bytes_per_pixel = format == DepthFormat::kMetres32 ? 4 : 2;
  if (width_ == 0 || height_ == 0) {
    return;
  }
  require_rows_inside_data(image, bytes_per_pixel, camera, "depth image");

  const bool swap = image.is_bigendian != host_is_bigendian();
  if (format == DepthFormat::kMillimetres16 && !swap) {
    return;
  }
  // Any other layout is converted once into packed host-order millimetres.
  scratch.resize(static_cast<std::size_t>(width_) * height_);
  for (std::uint32_t i = 0; i < height_; ++i) {
    const std::uint8_t * source = image.data + static_cast<std::size_t>(i) * image.step;
    std::uint16_t * target = scratch.data() + static_cast<std::size_t>(i) * width_;
    for (std::uint32_t j = 0; j < width_; ++j) {
      target[j] = format == DepthFormat::kMetres32 ?
        read_metres_as_millimetres(source + 4 * static_cast<std::size_t>(j), swap) :
        read_u16(source + 2 * static_cast<std::size_t>(j), swap);
    }
  }
  data_ = reinterpret_cast<const std::uint8_t *>(scratch.data());
  step_ = static_cast<std::size_t>(width_) * sizeof(std::uint16_t);
}

}  // namespace tavrinox_camera_convertor
