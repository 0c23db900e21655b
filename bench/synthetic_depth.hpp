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

/**
 * @brief synthetic_depth() as a depth sensor measures it: every pixel with depth moved by
 *        Gaussian noise of 1.2 mm + 1.9 mm * (z - 0.4 m)^2 (z in metres, the figure typical of
 *        structured-light and stereo sensors), rounded to the millimetre; holes stay 0.
 * @param seed places the blobs and draws the noise; the same seed gives the same image
 */
std::vector<std::uint16_t> noisy_synthetic_depth(
  std::uint32_t width, std::uint32_t height, double hole_share, unsigned seed);

}  // namespace tavrinox_camera_convertor
