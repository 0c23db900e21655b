// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include <string>

#include "tavrinox_camera_convertor/geometry/camera_config.hpp"

namespace tavrinox_camera_convertor
{

/**
 * @brief The camera configuration at `path`, or, when `path` is empty, the one the installed
 *        package ships, which is what the converter reads by default.
 */
CameraConfig load_benchmark_config(const std::string & path);

}  // namespace tavrinox_camera_convertor
