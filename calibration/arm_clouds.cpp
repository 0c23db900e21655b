// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "arm_clouds.hpp"

#include <cstdint>
#include <vector>

#include "tavrinox_camera_convertor/geometry/arm_cloud.hpp"
#include "tavrinox_camera_convertor/geometry/depth_pixels.hpp"

namespace tavrinox_camera_convertor
{

ArmClouds build_arm_clouds(const DepthImages & depth, const CameraConfig & config)
{
  std::vector<std::uint16_t> scratch;
  ArmCloudWriter writer;
  ArmClouds clouds;
  writer.write(
    DepthPixels(
      view_of(
        depth.depth_1), "camera 1", scratch), config.intrinsics_1, config.extrinsic_1,
    clouds.camera_1);
  writer.write(
    DepthPixels(
      view_of(
        depth.depth_2), "camera 2", scratch), config.intrinsics_2, config.extrinsic_2,
    clouds.camera_2);
  return clouds;
}

Eigen::Vector3f camera_position(const ExtrinsicTransform & extrinsic)
{
  return extrinsic.block<3, 1>(0, 3);
}

}  // namespace tavrinox_camera_convertor
