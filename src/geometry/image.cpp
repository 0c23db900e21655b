// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "tavrinox_camera_convertor/geometry/image.hpp"

#include <cstring>
#include <string>

#include "tavrinox_camera_convertor/geometry/frame_error.hpp"

namespace tavrinox_camera_convertor
{

bool host_is_bigendian()
{
  const std::uint16_t probe = 1;
  std::uint8_t first_byte = 0;
  std::memcpy(&first_byte, &probe, 1);
  return first_byte == 0;
}

void require_rows_inside_data(
  const ImageView & image, std::size_t bytes_per_pixel, std::string_view camera,
  std::string_view kind)
{
  const auto what = [&]() {return std::string(camera) + " " + std::string(kind);};
  if (image.width == 0 || image.height == 0) {
    return;
  }
  // 64-bit arithmetic: neither product can overflow for 32-bit fields.
  const std::uint64_t row_bytes = static_cast<std::uint64_t>(image.width) * bytes_per_pixel;
  if (image.step < row_bytes) {
    throw FrameError(
            what() + ": step " + std::to_string(image.step) + " is shorter than a row of " +
            std::to_string(image.width) + " pixels (" + std::to_string(row_bytes) + " bytes)");
  }
  const std::uint64_t needed = static_cast<std::uint64_t>(image.step) * image.height;
  if (image.data == nullptr || image.size < needed) {
    throw FrameError(
            what() + ": data holds " + std::to_string(image.size) +
            " bytes, fewer than step x height = " + std::to_string(needed));
  }
}

}  // namespace tavrinox_camera_convertor
