// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// The reversible step that makes a depth image compress: each pixel becomes its difference from
// its left neighbour, so a surface's slow change and its sensor noise become small numbers.
#pragma once

#include <cstdint>

#include "tavrinox_camera_convertor/geometry/depth_pixels.hpp"

namespace tavrinox_camera_convertor::detail
{

/**
 * @brief Writes the zig-zagged left differences of `depth` as two planes at `planes`: the low
 *        bytes of all width x height pixels, then their high bytes (see cloud_payload.hpp).
 * @param planes room for 2 x width x height bytes
 */
void depth_to_residual_planes(const DepthPixels & depth, std::uint8_t * planes);

/**
 * @brief Undoes depth_to_residual_planes: packed row-major millimetres at `millimetres`.
 * @param planes 2 x width x height bytes
 * @param millimetres room for width x height pixels
 */
void residual_planes_to_depth(
  const std::uint8_t * planes, std::uint32_t width, std::uint32_t height,
  std::uint16_t * millimetres);

}  // namespace tavrinox_camera_convertor::detail
