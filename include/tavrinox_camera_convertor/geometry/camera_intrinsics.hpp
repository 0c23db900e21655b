// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

namespace tavrinox_camera_convertor
{

/// Pinhole intrinsics of one camera, in pixels.
struct CameraIntrinsics
{
  float fx = 0.0f;  ///< focal length along the image columns
  float fy = 0.0f;  ///< focal length along the image rows
  float cx = 0.0f;  ///< principal point, column
  float cy = 0.0f;  ///< principal point, row
};

}  // namespace tavrinox_camera_convertor
