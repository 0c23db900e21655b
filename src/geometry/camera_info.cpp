// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "tavrinox_camera_convertor/geometry/camera_info.hpp"

namespace tavrinox_camera_convertor
{

PinholeCameraInfo pinhole_camera_info(
  const CameraIntrinsics & intrinsics, std::uint32_t width, std::uint32_t height)
{
  // Floats widen to doubles exactly, so a consumer reading the double back as a float gets
  // the converter's own value.
  const double fx = intrinsics.fx;
  const double fy = intrinsics.fy;
  const double cx = intrinsics.cx;
  const double cy = intrinsics.cy;
  PinholeCameraInfo info;
  info.width = width;
  info.height = height;
  info.distortion_model = "plumb_bob";
  info.k = {fx, 0.0, cx, 0.0, fy, cy, 0.0, 0.0, 1.0};
  info.r = {1.0, 0.0, 0.0, 0.0, 1.0, 0.0, 0.0, 0.0, 1.0};
  info.p = {fx, 0.0, cx, 0.0, 0.0, fy, cy, 0.0, 0.0, 0.0, 1.0, 0.0};
  return info;
}

}  // namespace tavrinox_camera_convertor
