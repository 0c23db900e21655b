// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include <cstdint>
#include <vector>

namespace tavrinox_camera_convertor
{

/**
 * @brief A tilted, rippled surface 0.8 to 1.4 m away, in millimetres, row by row; with a
 *        `hole_share` above 0, about that share of the pixels is zero, in round blobs.
 * @param seed places the blobs; the same seed gives the same image
 */
std::vector<std::uint16_t> synthetic_depth(
  std::uint32_t width, std::uint32_t height, double hole_share, unsigned seed);

}  // namespace tavrinox_camera_convertor
