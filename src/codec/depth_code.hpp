// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// The reversible step that makes a depth image compress fast (cloud_payload.hpp has the bytes):
// each pixel becomes its difference from the pixel above, so a surface's slow change and its
// sensor's noise become small numbers, nearly all of which fit one byte. Rows are independent
// of their neighbours' order, so both ways run many pixels at a time.
#pragma once

#include <cstddef>
#include <cstdint>

#include "tavrinox_camera_convertor/geometry/depth_pixels.hpp"

namespace tavrinox_camera_convertor::detail
{

/// @brief Most bytes the code of `pixels` pixels takes: three a pixel, when every one escapes.
constexpr std::uint64_t depth_code_bound(std::uint64_t pixels) {return 3 * pixels;}

/**
 * @brief Writes the code of `depth` at `code`: a byte a pixel, then the escaped pixels' values.
 * @param code room for depth_code_bound(width x height) bytes
 * @return the bytes written
 */
std::size_t depth_to_code(const DepthPixels & depth, std::uint8_t * code);

/**
 * @brief Undoes depth_to_code: packed row-major millimetres at `millimetres`.
 * @param size the code's bytes, width x height and two for each escaped pixel
 * @param millimetres room for width x height pixels
 * @throws CloudCodecError when the escaped pixels' values do not fill exactly the bytes after
 *         the pixels' own
 */
void code_to_depth(
  const std::uint8_t * code, std::size_t size, std::uint32_t width, std::uint32_t height,
  std::uint16_t * millimetres);

}  // namespace tavrinox_camera_convertor::detail
