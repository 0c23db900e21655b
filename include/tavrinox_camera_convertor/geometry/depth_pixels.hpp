// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

#include "tavrinox_camera_convertor/geometry/image.hpp"

namespace tavrinox_camera_convertor
{

/**
 * @brief A checked depth image whose rows read as host-order 16-bit millimetres.
 *
 * Accepted encodings: "16UC1" and "mono16" (millimetres, either byte order) and "32FC1"
 * (metres; rounded to the nearest millimetre, NaN, <= 0 and >= 65.5355 m become 0).
 * Host-order 16-bit images are read in place, honouring the row step; anything else is
 * converted once into `scratch`, which the caller keeps between frames.
 */
class DepthPixels
{
public:
  /**
   * @brief Checks `image` and makes its rows readable.
   * @param camera how the error text names the image, for example "camera 1"
   * @throws FrameError for another encoding, a row step shorter than a row, or data
   *         shorter than step x height; nothing outside `image.data` is ever read
   */
  DepthPixels(
    const ImageView & image, std::string_view camera,
    std::vector<std::uint16_t> & scratch);

  std::uint32_t width() const {return width_;}
  std::uint32_t height() const {return height_;}
  /// @brief True when the image has no pixel at all (a zero width or height).
  bool empty() const {return width_ == 0 || height_ == 0;}

  /// @brief First byte of row `row`; pixel j is the 16-bit value at byte 2 * j.
  const std::uint8_t * row(std::uint32_t row) const
  {
    return data_ + static_cast<std::size_t>(row) * step_;
  }

  /// @brief Millimetres at column `column` of a row returned by row().
  static std::uint16_t at(const std::uint8_t * row, std::uint32_t column)
  {
    std::uint16_t value;
    std::memcpy(&value, row + 2 * static_cast<std::size_t>(column), sizeof value);
    return value;
  }

private:
  std::uint32_t width_ = 0;
  std::uint32_t height_ = 0;
  std::size_t step_ = 0;
  const std::uint8_t * data_ = nullptr;
};

}  // namespace tavrinox_camera_convertor
