// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// The reversible step that makes a colour image compress fast (color_image_codec.hpp has the
// bytes): each byte becomes its difference from the same channel of the pixel above, the green
// channel's difference is taken from the red's and the blue's (their noise and shading move
// together), and each channel goes to a plane of its own, for zstd's Huffman tables to fit.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tavrinox_camera_convertor::detail
{

/**
 * @brief Writes the colour code of `height` rows of `width` pixels of `channels` (3 or 4) bytes,
 *        the rows `step` bytes apart from `pixels` on, as channels x width x height bytes at
 *        `code`.
 */
void color_to_code(
  const std::uint8_t * pixels, std::size_t step, std::uint32_t width, std::uint32_t height,
  unsigned channels, std::uint8_t * code);

/// @brief Undoes color_to_code: packed rows of pixels at `pixels`.
void code_to_color(
  const std::uint8_t * code, std::uint32_t width, std::uint32_t height, unsigned channels,
  std::uint8_t * pixels);

}  // namespace tavrinox_camera_convertor::detail
