// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include <cstdint>
#include <vector>

#include "tavrinox_camera_convertor/geometry/depth_pixels.hpp"

namespace tavrinox_camera_convertor
{

/**
 * @brief One bit per pixel of a depth image, set where it has no depth (zero).
 *
 * Row r, column c is bit c % 32 of word r * words_per_row() + c / 32. At 1280 x 720 the mask
 * takes 115 kB, small enough to stay in cache while points land all over the image.
 */
class HoleMask
{
public:
  HoleMask() = default;

  /**
   * @brief Marks the zero pixels of `depth`, reusing the buffer.
   * @throws FrameError for an image of more than 2^36 pixels, whose word index needs more than 32 bits
   */
  void assign(const DepthPixels & depth);

  std::uint32_t width() const {return width_;}
  std::uint32_t height() const {return height_;}
  std::uint32_t words_per_row() const {return words_per_row_;}
  const std::uint32_t * words() const {return words_.data();}
  /// @brief Whether any pixel is a hole; without one, nothing can be filled.
  bool has_holes() const {return has_holes_;}

  /// @brief Whether pixel (`row`, `column`), which must lie inside the image, is a hole.
  bool is_hole(std::uint32_t row, std::uint32_t column) const
  {
    const std::uint32_t word = words_[static_cast<std::size_t>(row) * words_per_row_ + column / 32];
    return ((word >> (column % 32)) & 1u) != 0;
  }

private:
  std::uint32_t width_ = 0;
  std::uint32_t height_ = 0;
  std::uint32_t words_per_row_ = 0;
  std::vector<std::uint32_t> words_;
  bool has_holes_ = false;
};

}  // namespace tavrinox_camera_convertor
