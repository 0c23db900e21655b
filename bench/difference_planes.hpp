// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// Depth codes in two byte planes, which the codec benchmark sets against the codec's own: each
// pixel's zig-zagged difference from a neighbour, the low bytes of all pixels, then the high
// bytes. From the left neighbour (from the pixel above in column 0) is payload version 1's code.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tavrinox_camera_convertor::bench
{

/// The neighbour each pixel is told as its difference from.
enum class Neighbour
{
  left,   ///< payload version 1's code, one pixel at a time
  above,  ///< row 0 from the left, every other row from the row above, many pixels at a time
};

/// @brief The planes of packed millimetres `mm`, 2 x width x height bytes at `planes`.
void difference_planes(
  const std::uint16_t * mm, std::size_t width, std::size_t height, Neighbour neighbour,
  std::uint8_t * planes);

/// @brief The millimetres difference_planes() made `planes` from, written to `mm`.
void difference_planes_depth(
  const std::uint8_t * planes, std::size_t width, std::size_t height, Neighbour neighbour,
  std::uint16_t * mm);

}  // namespace tavrinox_camera_convertor::bench
