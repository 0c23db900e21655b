// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include <Eigen/Core>

#include <cmath>
#include <cstdint>
#include <limits>

#include "tavrinox_camera_convertor/geometry/camera_intrinsics.hpp"
#include "tavrinox_camera_convertor/geometry/camera_model.hpp"
#include "tavrinox_camera_convertor/geometry/hole_mask.hpp"
#include "tavrinox_camera_convertor/geometry/image.hpp"

namespace tavrinox_camera_convertor
{

/// @brief Truncates toward zero into int32; NaN gives 0, out-of-range values the nearest bound.
inline std::int32_t saturating_trunc_to_int32(float value)
{
  if (std::isnan(value)) {
    return 0;
  }
  if (value >= 2147483648.0f) {
    return std::numeric_limits<std::int32_t>::max();
  }
  if (value <= -2147483648.0f) {
    return std::numeric_limits<std::int32_t>::min();
  }
  return static_cast<std::int32_t>(value);
}

/**
 * @brief Camera 1's depth image as the target of arm-frame points.
 *
 * Each point is mapped by `arm_to_camera`, projected with u = fx * X / Z + cx,
 * v = fy * Y / Z + cy, truncated toward zero and, inside the image, writes trunc(Z * 1000)
 * millimetres. Later points overwrite earlier ones. Points that are not in front of the
 * camera (Z <= 0 or NaN) or whose depth does not fit 1..65535 mm are skipped, so a projection
 * never erases depth and never wraps.
 */
struct DepthRenderTarget
{
  const Eigen::Matrix4f & arm_to_camera;  ///< the inverse of camera 1's extrinsic transform
  const CameraIntrinsics & intrinsics;
  ImageMessage & image;  ///< packed host-order "16UC1", already of its final size
  /// If given (of the image's size), only its holes are written: with an image started by
  /// start_from_measured_depth this gives the same completed image as rendering first and
  /// overlaying the measurement after.
  const HoleMask * holes = nullptr;
  /// The lens points are projected through; nullptr (or one that does not bend) is an ideal
  /// pinhole, with the arithmetic above.
  const Distortion * lens = nullptr;
};

}  // namespace tavrinox_camera_convertor
