// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include <string>

#include "tavrinox_camera_convertor/geometry/camera_config.hpp"
#include "tavrinox_camera_convertor/geometry/image.hpp"

namespace tavrinox_camera_convertor::bench
{

/// One depth image and the camera that back-projects it.
struct DepthCase
{
  std::string name;
  ImageMessage depth;
  CameraIntrinsics intrinsics;
  ExtrinsicTransform extrinsic;
};

/**
 * @brief `depth` seen by camera 1 of `config`, whose 640 x 480 intrinsics are scaled to the
 *        image's size.
 */
DepthCase depth_case(const std::string & name, ImageMessage depth, const CameraConfig & config);

/**
 * @brief The case of a single-channel 16-bit depth image file, named by its path.
 * @throws std::runtime_error when the file holds no such image
 */
DepthCase depth_file_case(const std::string & path, const CameraConfig & config);

}  // namespace tavrinox_camera_convertor::bench
