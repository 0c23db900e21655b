// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include "tavrinox_camera_convertor/geometry/camera_intrinsics.hpp"
#include "tavrinox_camera_convertor/geometry/camera_model.hpp"
#include "tavrinox_camera_convertor/geometry/depth_pixels.hpp"
#include "tavrinox_camera_convertor/geometry/extrinsic_transform.hpp"

namespace tavrinox_camera_convertor
{

/// The depth image a cloud was made from, and the camera that back-projects it into that cloud.
struct CloudSource
{
  const DepthPixels * depth = nullptr;  ///< null when the cloud is not made this frame
  CameraIntrinsics intrinsics;
  ExtrinsicTransform extrinsic = ExtrinsicTransform::Identity();
  Distortion distortion;  ///< the lens the pixels' rays were undistorted through, if it bends
};

/// What each of a frame's three clouds was made from.
struct CloudSources
{
  CloudSource cam1_cloud;
  CloudSource cam2_cloud;
  CloudSource converted_cloud;  ///< the completed depth image, camera 1's camera
};

}  // namespace tavrinox_camera_convertor
