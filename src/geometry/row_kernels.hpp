// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// The per-row loops behind ArmCloudWriter, one per instruction set. Internal to the library.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "tavrinox_camera_convertor/geometry/back_projection.hpp"
#include "tavrinox_camera_convertor/geometry/camera_intrinsics.hpp"
#include "tavrinox_camera_convertor/geometry/camera_model.hpp"
#include "tavrinox_camera_convertor/geometry/cloud_encoding.hpp"
#include "tavrinox_camera_convertor/geometry/depth_render_target.hpp"
#include "tavrinox_camera_convertor/geometry/extrinsic_transform.hpp"

namespace tavrinox_camera_convertor::detail
{

/// A render target reduced to the numbers the loops read.
struct RenderConstants
{
  float m[3][4];  ///< the rows of the arm-to-camera matrix that give X, Y and Z
  float fx, fy, cx, cy;
  std::uint8_t * pixels;  ///< packed host-order 16-bit image
  std::size_t step;
  std::uint32_t width;
  std::uint32_t height;
  const std::uint32_t * hole_words;  ///< only these pixels are written; nullptr: any pixel
  std::uint32_t hole_words_per_row;
  const Distortion * lens;  ///< nullptr: an ideal pinhole
  float lens_k[8];  ///< the lens's coefficients as the float arithmetic uses them
};

/// @brief The numbers of `target`, whose image must already have its final size.
RenderConstants render_constants(const DepthRenderTarget & target);

/// One depth image row and how its pixels become arm-frame points.
struct RowSource
{
  const std::uint8_t * pixels;  ///< host-order 16-bit millimetres
  std::uint32_t width;
  float row_offset;  ///< row index minus cy
  const CameraIntrinsics & intrinsics;
  const ExtrinsicTransform & extrinsic;
  const MillimetreTable & metres;
  /// the row's undistorted rays (PixelRays); nullptr: the pinhole arithmetic
  const float * ray_x = nullptr;
  const float * ray_y = nullptr;
};

/// Points of one row in structure-of-arrays form, 32-byte aligned, for a second pass over them.
struct RowPoints
{
  float * x;
  float * y;
  float * z;
  /// which pixels have depth: a lane mask per pixel, or a bit per pixel of a group
  std::uint32_t * measured;
};

/// Records a vector loop may store beyond a row's last record; the caller leaves room for them.
inline constexpr std::size_t kRecordsPastRow = 7;

/**
 * @brief Renders one arm-frame point into the target: the rule every loop follows.
 *
 * The point is mapped with the order Eigen's fixed-size product uses, ((m0 x + m1 y) + m2 z) + m3
 * per row, projected (through the lens, if it has one), truncated toward zero and written as
 * trunc(Z * 1000) millimetres when it is in front of the camera, fits 1..65535 mm, lands inside the image and, with a hole mask,
 * on a hole.
 */
inline void render_point(float x, float y, float z, const RenderConstants & t)
{
  const float camera_x = ((t.m[0][0] * x + t.m[0][1] * y) + t.m[0][2] * z) + t.m[0][3];
  const float camera_y = ((t.m[1][0] * x + t.m[1][1] * y) + t.m[1][2] * z) + t.m[1][3];
  const float camera_z = ((t.m[2][0] * x + t.m[2][1] * y) + t.m[2][2] * z) + t.m[2][3];
  const float depth = camera_z * 1000.0f;
  if (!(camera_z > 0.0f) || !(depth < 65536.0f) || static_cast<std::int32_t>(depth) == 0) {
    return;
  }
  std::int32_t column;
  std::int32_t row;
  if (t.lens == nullptr) {
    column = saturating_trunc_to_int32((t.fx * camera_x) / camera_z + t.cx);
    row = saturating_trunc_to_int32((t.fy * camera_y) / camera_z + t.cy);
  } else {
    // One division for both coordinates, as the vector loops do.
    const float inverse_z = 1.0f / camera_z;
    float x = camera_x * inverse_z;
    float y = camera_y * inverse_z;
    distort_normalised(*t.lens, x, y);
    column = saturating_trunc_to_int32(t.fx * x + t.cx);
    row = saturating_trunc_to_int32(t.fy * y + t.cy);
  }
  if (column < 0 || row < 0 || static_cast<std::uint32_t>(column) >= t.width ||
    static_cast<std::uint32_t>(row) >= t.height)
  {
    return;
  }
  if (t.hole_words != nullptr) {
    const std::uint32_t word =
      t.hole_words[static_cast<std::size_t>(row) * t.hole_words_per_row +
        static_cast<std::uint32_t>(column) / 32];
    if (((word >> (column % 32)) & 1u) == 0) {
      return;
    }
  }
  const std::uint16_t millimetres = static_cast<std::uint16_t>(static_cast<std::int32_t>(depth));
  std::memcpy(
    t.pixels + static_cast<std::size_t>(row) * t.step + 2 *
    static_cast<std::size_t>(column), &millimetres, 2);
}

/**
 * @brief Encodes pixels `first`..width-1 of a row one at a time from `record` on, rendering
 *        each point when `target` is given; returns how many records it wrote.
 */
std::size_t encode_pixels_scalar(
  const RowSource & row, std::uint32_t first, std::uint8_t * record,
  const RenderConstants * target);

/// @brief Encodes a whole row into records from `first_record` on; returns how many. One pixel at a
/// time.
std::size_t encode_row_scalar(
  const RowSource & row, std::uint8_t * first_record, const RenderConstants * target,
  RowPoints & points);

/// @brief encode_row_scalar, four pixels at a time (x86-64 only).
std::size_t encode_row_sse2(
  const RowSource & row, std::uint8_t * first_record, const RenderConstants * target,
  RowPoints & points);

/// @brief encode_row_scalar, eight pixels at a time (x86-64 processors with AVX2 only).
std::size_t encode_row_avx2(
  const RowSource & row, std::uint8_t * first_record, const RenderConstants * target,
  RowPoints & points);

}  // namespace tavrinox_camera_convertor::detail
