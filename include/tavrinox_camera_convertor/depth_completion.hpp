// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include <pcl/point_cloud.h>
#include <pcl/point_types.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>

#include "tavrinox_camera_convertor/camera_intrinsics.hpp"
#include "tavrinox_camera_convertor/depth_pixels.hpp"
#include "tavrinox_camera_convertor/extrinsic_transform.hpp"
#include "tavrinox_camera_convertor/hole_mask.hpp"
#include "tavrinox_camera_convertor/image.hpp"

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
 * @brief Checks that a completed image of camera 1's `width` has a row that fits a 32-bit step.
 * @throws FrameError otherwise
 */
void require_depth_row_fits(std::uint32_t width);

/**
 * @brief Makes `image` an all-zero "16UC1" image of `width` x `height`, reusing its buffer.
 * @throws FrameError when a row of that width does not fit a 32-bit step
 */
void reset_depth_image(std::uint32_t width, std::uint32_t height, ImageMessage & image);

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
};

/**
 * @brief Makes `image` a packed "16UC1" copy of camera 1's measured depth, reusing its buffer.
 * @throws FrameError when a row of that width does not fit a 32-bit step
 */
void start_from_measured_depth(const DepthPixels & measured, ImageMessage & image);

/// @brief Renders a cloud's points into `image` (see DepthRenderTarget), in the cloud's order.
void project_cloud_to_depth(
  const pcl::PointCloud<pcl::PointXYZ> & cloud, const Eigen::Matrix4f & arm_to_camera,
  const CameraIntrinsics & intrinsics, ImageMessage & image);

/**
 * @brief Lets every measured (non-zero) pixel of `measured` replace the rendered value.
 *
 * Only the region both images cover is touched.
 */
void overlay_measured_depth(const DepthPixels & measured, ImageMessage & image);

/**
 * @brief Writes every non-zero pixel of `later` over `image`, both of the same size.
 *
 * `later` holds the projections of points that come after those already in `image`, rendered
 * apart into an all-zero image: since a projection never writes zero, the result is the image
 * that rendering them into `image` itself would have given.
 */
void overlay_later_projection(const ImageMessage & later, ImageMessage & image);

}  // namespace tavrinox_camera_convertor
