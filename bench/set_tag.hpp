// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// A frame set's number written into its images so that each of the converter's five outputs
// says which set it came from: the outputs' stamps are the converter's, not the inputs'.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "tavrinox_camera_convertor/geometry/extrinsic_transform.hpp"

namespace tavrinox_camera_convertor
{

/// Pixels at the start of row 0 that carry the number, four bits each.
inline constexpr std::uint32_t kTagPixels = 8;

/**
 * @brief Writes `set` into the first kTagPixels depths of a packed host-order 16-bit image
 *        row: 1000 + 16 * nibble millimetres, so every tag pixel is measured depth.
 */
void write_depth_tag(std::uint32_t set, std::uint8_t * row);

/// @brief The number in the first kTagPixels depths of a row, if they hold a tag.
std::optional<std::uint32_t> read_depth_tag(const std::uint8_t * row);

/// @brief Writes `set` into the first kTagPixels pixels of an "rgb8" row (red 16 * nibble, green
/// 0xA5).
void write_color_tag(std::uint32_t set, std::uint8_t * row);

/// @brief The number in the first kTagPixels pixels of an "rgb8" row, if they hold a tag.
std::optional<std::uint32_t> read_color_tag(const std::uint8_t * row);

/**
 * @brief The number in the first kTagPixels records of an encoded arm-frame cloud whose first
 *        points are those tag pixels, undoing the camera's `extrinsic` to get their depths back.
 */
std::optional<std::uint32_t> read_cloud_tag(
  const std::uint8_t * records, std::size_t record_count, const ExtrinsicTransform & extrinsic);

}  // namespace tavrinox_camera_convertor
