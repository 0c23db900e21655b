// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include "tavrinox_camera_convertor/geometry/camera_config.hpp"
#include "tavrinox_camera_convertor/geometry/camera_model.hpp"
#include "tavrinox_camera_convertor/geometry/extrinsic_transform.hpp"

namespace tavrinox_camera_convertor
{

/// Both cameras as one frame set saw them: their models and their poses in the arm frame.
struct FrameCameras
{
  CameraModel model_1;
  CameraModel model_2;
  ExtrinsicTransform extrinsic_1 = ExtrinsicTransform::Identity();
  ExtrinsicTransform extrinsic_2 = ExtrinsicTransform::Identity();
};

/// @brief The configuration's cameras: ideal pinholes at fixed poses.
inline FrameCameras configured_cameras(const CameraConfig & config)
{
  FrameCameras cameras;
  cameras.model_1.intrinsics = config.intrinsics_1;
  cameras.model_2.intrinsics = config.intrinsics_2;
  cameras.extrinsic_1 = config.extrinsic_1;
  cameras.extrinsic_2 = config.extrinsic_2;
  return cameras;
}

}  // namespace tavrinox_camera_convertor
