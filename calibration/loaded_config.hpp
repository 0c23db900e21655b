// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include <string>

#include "extrinsic_values.hpp"
#include "tavrinox_camera_convertor/geometry/camera_config.hpp"

namespace tavrinox_camera_convertor
{

/// A configuration file's text and what the node's loader makes of it.
struct LoadedConfig
{
  std::string text;
  CameraConfig config;
};

/**
 * @brief load_camera_config without the matrices it prints, which are the node's start-up text.
 * @throws RunnerError naming `path` with yaml-cpp's own text of what is wrong
 */
CameraConfig load_config_quietly(const std::string & path);

/**
 * @brief Reads `path`'s text and loads it with the node's loader.
 * @throws RunnerError naming `path` when it cannot be read or loaded
 */
LoadedConfig load_config(const std::string & path);

/**
 * @brief `loaded` with camera_extrinsic_<camera>'s Rxyz and Txyz replaced in its text, and its
 *        configuration's extrinsic as the node reads it from that text.
 * @param shown_path names the file in error texts
 * @throws RunnerError when the numbers cannot be found in the text
 */
LoadedConfig with_extrinsic_values(
  const LoadedConfig & loaded, int camera, const ExtrinsicValues & values,
  const std::string & shown_path);

/// @brief Whether every value the node reads is the same in both, matrices bit for bit.
bool same_config(const CameraConfig & a, const CameraConfig & b);

}  // namespace tavrinox_camera_convertor
