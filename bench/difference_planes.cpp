// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "difference_planes.hpp"

namespace tavrinox_camera_convertor::bench
{
namespace
{

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

void difference_planes(
  const std::uint16_t * mm, std::size_t width, std::size_t height, Neighbour neighbour,
  std::uint8_t * planes)
{
  std::uint8_t * const low = planes;
  std::uint8_t * const high = planes + width * height;
  for (std::size_t i = 0; i < height; ++i) {
    const std::size_t first = i * width;
    if (neighbour == Neighbour::above && i > 0) {
      // Zig-zagged difference from the pixel above, split into its two bytes.
      for (std::size_t j = 0; j < width; ++j) {
        const std::uint16_t code =
          zig_zag(static_cast<std::uint16_t>(mm[first + j] - mm[first - width + j]));
        low[first + j] = static_cast<std::uint8_t>(code);
        high[first + j] = static_cast<std::uint8_t>(code >> 8);
      }
      continue;
    }
    std::uint16_t previous = i == 0 ? 0 : mm[first - width];
    // Zig-zagged difference from the left neighbour, split into its two bytes.
    for (std::size_t j = 0; j < width; ++j) {
      const std::uint16_t code = zig_zag(static_cast<std::uint16_t>(mm[first + j] - previous));
      previous = mm[first + j];
      low[first + j] = static_cast<std::uint8_t>(code);
      high[first + j] = static_cast<std::uint8_t>(code >> 8);
    }
  }
}

void difference_planes_depth(
  const std::uint8_t * planes, std::size_t width, std::size_t height, Neighbour neighbour,
  std::uint16_t * mm)
{
  const std::uint8_t * const low = planes;
  const std::uint8_t * const high = planes + width * height;
  for (std::size_t i = 0; i < height; ++i) {
    const std::size_t first = i * width;
    if (neighbour == Neighbour::above && i > 0) {
      // The pixel above plus the difference.
      for (std::size_t j = 0; j < width; ++j) {
        const auto code = static_cast<std::uint16_t>(low[first + j] | high[first + j] << 8);
        mm[first + j] = static_cast<std::uint16_t>(mm[first - width + j] + un_zig_zag(code));
      }
      continue;
    }
    std::uint16_t previous = i == 0 ? 0 : mm[first - width];
    // Running sum of the row's differences.
    for (std::size_t j = 0; j < width; ++j) {
      const auto code = static_cast<std::uint16_t>(low[first + j] | high[first + j] << 8);
      previous = static_cast<std::uint16_t>(previous + un_zig_zag(code));
      mm[first + j] = previous;
    }
  }
}

}  // namespace tavrinox_camera_convertor::bench
