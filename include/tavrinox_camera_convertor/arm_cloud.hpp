// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include <pcl/PCLPointCloud2.h>

#include "tavrinox_camera_convertor/back_projection.hpp"
#include "tavrinox_camera_convertor/camera_intrinsics.hpp"
#include "tavrinox_camera_convertor/depth_pixels.hpp"
#include "tavrinox_camera_convertor/extrinsic_transform.hpp"

namespace tavrinox_camera_convertor
{

/**
 * @brief Back-projects `depth`, maps the points into the arm frame and encodes them, in one pass.
 *
 * The message equals encode_cloud of pcl::transformPointCloud(depth_to_cloud(depth)) byte for
 * byte, without the intermediate clouds. `out`'s buffers are reused.
 */
void write_arm_cloud(
  const DepthPixels & depth, const CameraIntrinsics & intrinsics, const ExtrinsicTransform & extrinsic,
  const MillimetreTable & metres, pcl::PCLPointCloud2 & out);

}  // namespace tavrinox_camera_convertor
