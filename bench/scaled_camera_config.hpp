// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include <cstdint>

#include "tavrinox_camera_convertor/geometry/camera_config.hpp"

namespace tavrinox_camera_convertor
{

/**
 * @brief `config` with both cameras' intrinsics, calibrated at 640 x 480 as the package's are,
 *        scaled to images of `width` x `height`.
 */
CameraConfig scaled_camera_config(CameraConfig config, std::uint32_t width, std::uint32_t height);

}  // namespace tavrinox_camera_convertor
