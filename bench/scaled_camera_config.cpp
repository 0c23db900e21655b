// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "scaled_camera_config.hpp"

namespace tavrinox_camera_convertor
{

CameraConfig scaled_camera_config(CameraConfig config, std::uint32_t width, std::uint32_t height)
{
  const float scale_x = static_cast<float>(width) / 640.0f;
  const float scale_y = static_cast<float>(height) / 480.0f;
  for (CameraIntrinsics * k : {&config.intrinsics_1, &config.intrinsics_2}) {
    k->fx *= scale_x;
    k->fy *= scale_y;
    // Pixel centres stay where they were on the scene: the scaling is about the image's corner.
    k->cx = (k->cx + 0.5f) * scale_x - 0.5f;
    k->cy = (k->cy + 0.5f) * scale_y - 0.5f;
  }
  return config;
}

}  // namespace tavrinox_camera_convertor
