// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include <pcl/point_cloud.h>
#include <pcl/point_types.h>

#include <cstddef>
#include <cstdint>

#include "tavrinox_camera_convertor/geometry/camera_intrinsics.hpp"
#include "tavrinox_camera_convertor/geometry/depth_pixels.hpp"
#include "tavrinox_camera_convertor/geometry/depth_render_target.hpp"
#include "tavrinox_camera_convertor/geometry/extrinsic_transform.hpp"
#include "tavrinox_camera_convertor/geometry/hole_mask.hpp"
#include "tavrinox_camera_convertor/geometry/image.hpp"

namespace tavrinox_camera_convertor
{

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
