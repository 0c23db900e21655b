// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "loaded_config.hpp"

#include <yaml-cpp/exceptions.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>

#include "runner_error.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

bool same_intrinsics(const CameraIntrinsics & a, const CameraIntrinsics & b)
{
  return a.fx == b.fx && a.fy == b.fy && a.cx == b.cx && a.cy == b.cy;
}

}  // namespace

CameraConfig load_config_quietly(const std::string & path)
{
  std::ostringstream matrices;
  try {
    return load_camera_config(path, matrices);
  } catch (const YAML::Exception & error) {
    throw RunnerError("configuration file " + path + ": " + error.what());
  }
}

LoadedConfig load_config(const std::string & path)
{
  LoadedConfig loaded;
  loaded.config = load_config_quietly(path);
  std::ifstream in(path, std::ios::binary);
  loaded.text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (!in) {
    throw RunnerError(
            "configuration file " + path + ": cannot read it (" + std::strerror(
              errno) + ")");
  }
  return loaded;
}

LoadedConfig with_extrinsic_values(
  const LoadedConfig & loaded, int camera, const ExtrinsicValues & values,
  const std::string & shown_path)
{
  LoadedConfig corrected;
  corrected.text = replace_extrinsic_values(loaded.text, camera, values, shown_path);
  corrected.config = loaded.config;
  (camera == 1 ? corrected.config.extrinsic_1 : corrected.config.extrinsic_2) =
    configured_extrinsic(corrected.text, camera, shown_path);
  return corrected;
}

bool same_config(const CameraConfig & a, const CameraConfig & b)
{
  return a.extrinsic_1 == b.extrinsic_1 && a.extrinsic_2 == b.extrinsic_2 &&
         a.arm_frame_id == b.arm_frame_id &&
         same_intrinsics(a.intrinsics_1, b.intrinsics_1) && same_intrinsics(
    a.intrinsics_2,
    b.intrinsics_2) &&
         a.rgb_topic_1 == b.rgb_topic_1 && a.depth_topic_1 == b.depth_topic_1 &&
         a.rgb_topic_2 == b.rgb_topic_2 &&
         a.depth_topic_2 == b.depth_topic_2;
}

}  // namespace tavrinox_camera_convertor
