// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// The converter's five outputs as its consumers subscribe to them.
#pragma once

#include <array>

namespace tavrinox_camera_convertor
{

/// The converter's output topics, in OutputKind order.
inline constexpr std::array<const char *, 5> kOutputTopics = {
  "/tavrinox_camera_convertor/cam1_cloud", "/tavrinox_camera_convertor/cam2_cloud",
  "/camera_02/depth/converted_image", "/camera_02/color/converted_image",
  "/tavrinox_camera_convertor/converted_cloud"};

}  // namespace tavrinox_camera_convertor
