// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// LOCO-I's median edge predictor over 16-bit depth, a candidate the cloud codec benchmark sets
// against the left neighbour the codec itself predicts from.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tavrinox_camera_convertor::bench
{

/**
 * @brief Each pixel's zig-zagged difference from its median edge prediction, as two byte planes
 *        of width * height bytes each (low bytes first) at `planes`.
 * @param mm packed rows of millimetres
 */
void median_edge_planes(
  const std::uint16_t * mm, std::size_t width, std::size_t height, std::uint8_t * planes);

/// @brief The millimetres median_edge_planes() made `planes` from, written to `mm`.
void median_edge_depth(
  const std::uint8_t * planes, std::size_t width, std::size_t height, std::uint16_t * mm);

}  // namespace tavrinox_camera_convertor::bench
