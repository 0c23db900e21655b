// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include <pcl/PCLPointCloud2.h>

#include <Eigen/Core>

#include "tavrinox_camera_convertor/geometry/camera_config.hpp"
#include "tavrinox_camera_convertor/geometry/image.hpp"

namespace tavrinox_camera_convertor
{

/// Both cameras' depth images of one frame set.
struct DepthImages
{
  ImageMessage depth_1;
  ImageMessage depth_2;
};

/// Both cameras' arm-frame clouds, encoded exactly as the node publishes them.
struct ArmClouds
{
  pcl::PCLPointCloud2 camera_1;
  pcl::PCLPointCloud2 camera_2;
};

/**
 * @brief Builds both arm-frame clouds with the node's own cloud writer and `config`'s calibration.
 * @throws FrameError when a depth image cannot be read
 */
ArmClouds build_arm_clouds(const DepthImages & depth, const CameraConfig & config);

/// @brief The optical centre of a camera in the arm frame: the translation of its extrinsic.
Eigen::Vector3f camera_position(const ExtrinsicTransform & extrinsic);

}  // namespace tavrinox_camera_convertor
