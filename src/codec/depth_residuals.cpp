// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "depth_residuals.hpp"

#include <cstddef>

namespace tavrinox_camera_convertor::detail
{
namespace
{

/// Small differences of either sign become small numbers: 0, -1, 1, -2 ... -> 0, 1, 2, 3 ...
std::uint16_t zig_zag(std::uint16_t difference)
{
  const auto negative = static_cast<std::uint16_t>(0u - (difference >> 15));
  return static_cast<std::uint16_t>((difference << 1) ^ negative);
}

std::uint16_t un_zig_zag(std::uint16_t code)
{
  const auto negative = static_cast<std::uint16_t>(0u - (code & 1u));
  return static_cast<std::uint16_t>((code >> 1) ^ negative);
}

}  // namespace

void depth_to_residual_planes(const DepthPixels & depth, std::uint8_t * planes)
{
  if (depth.empty()) {
    return;  // a zero width may come with billions of rows
  }
  const std::size_t width = depth.width();
  const std::size_t pixels = width * depth.height();
  std::uint8_t * const low = planes;
  std::uint8_t * const high = planes + pixels;
  for (std::uint32_t i = 0; i < depth.height(); ++i) {
    const std::uint8_t * row = depth.row(i);
    std::uint8_t * const row_low = low + i * width;
    std::uint8_t * const row_high = high + i * width;
    // Column 0 follows the pixel above, the first pixel of all follows 0.
    const std::uint16_t first = DepthPixels::at(row, 0);
    const std::uint16_t above = i == 0 ? 0 : DepthPixels::at(depth.row(i - 1), 0);
    const std::uint16_t first_code = zig_zag(static_cast<std::uint16_t>(first - above));
    row_low[0] = static_cast<std::uint8_t>(first_code);
    row_high[0] = static_cast<std::uint8_t>(first_code >> 8);
    // Zig-zagged difference of every other pixel from its left neighbour, split into its bytes.
    for (std::uint32_t j = 1; j < width; ++j) {
      const auto difference =
        static_cast<std::uint16_t>(DepthPixels::at(row, j) - DepthPixels::at(row, j - 1));
      const std::uint16_t code = zig_zag(difference);
      row_low[j] = static_cast<std::uint8_t>(code);
      row_high[j] = static_cast<std::uint8_t>(code >> 8);
    }
  }
}

void residual_planes_to_depth(
  const std::uint8_t * planes, std::uint32_t width, std::uint32_t height,
  std::uint16_t * millimetres)
{
  if (width == 0 || height == 0) {
    return;
  }
  const std::size_t pixels = static_cast<std::size_t>(width) * height;
  const std::uint8_t * const low = planes;
  const std::uint8_t * const high = planes + pixels;
  for (std::uint32_t i = 0; i < height; ++i) {
    const std::size_t first = static_cast<std::size_t>(i) * width;
    std::uint16_t * const row = millimetres + first;
    std::uint16_t previous = i == 0 ? 0 : millimetres[first - width];
    // Running sum of the row's differences, starting from the pixel above its first.
    for (std::uint32_t j = 0; j < width; ++j) {
      const auto code = static_cast<std::uint16_t>(low[first + j] | high[first + j] << 8);
      previous = static_cast<std::uint16_t>(previous + un_zig_zag(code));
      row[j] = previous;
    }
  }
}

}  // namespace tavrinox_camera_convertor::detail
