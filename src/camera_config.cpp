// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "tavrinox_camera_convertor/camera_config.hpp"

#include <yaml-cpp/yaml.h>

#include <array>
#include <cmath>

namespace tavrinox_camera_convertor
{
namespace
{

// yaml-cpp reads .nan and .inf as floats, and a zero focal length divides by zero: either
// would turn every point of a camera into NaN or infinity, so such a value is refused with
// yaml-cpp's own "bad conversion" at its position, as a word would be.
float read_finite_number(const YAML::Node & value)
{
  const float number = value.as<float>();
  if (!std::isfinite(number)) {
    throw YAML::TypedBadConversion<float>(value.Mark());
  }
  return number;
}

float read_focal_length(const YAML::Node & value)
{
  const float focal_length = read_finite_number(value);
  if (focal_length == 0.0f) {
    throw YAML::TypedBadConversion<float>(value.Mark());
  }
  return focal_length;
}

// Every lookup starts again from the root with the mutable operator[], so a missing key
// surfaces as yaml-cpp's "bad conversion" and a scalar in the way as its BadSubscript.
ExtrinsicTransform read_extrinsic(YAML::Node & root, const char * section)
{
  std::array<float, 3> angles{};
  std::array<float, 3> translation{};
  for (int i = 0; i < 3; ++i) {
    angles[i] = read_finite_number(root[section]["Rxyz"][i]);
    translation[i] = read_finite_number(root[section]["Txyz"][i]);
  }
  return make_extrinsic_transform(angles, translation);
}

CameraIntrinsics read_intrinsics(YAML::Node & root, const char * section)
{
  CameraIntrinsics intrinsics;
  intrinsics.fx = read_focal_length(root[section]["fx"]);
  intrinsics.fy = read_focal_length(root[section]["fy"]);
  intrinsics.cx = read_finite_number(root[section]["cx"]);
  intrinsics.cy = read_finite_number(root[section]["cy"]);
  return intrinsics;
}

std::string read_setting(YAML::Node & root, const char * key)
{
  return root["tavrinox_camera_convertor"][key].as<std::string>();
}

}  // namespace

CameraConfig load_camera_config(const std::string & path, std::ostream & matrix_out)
{
  YAML::Node root = YAML::LoadFile(path);
  CameraConfig config;
  config.extrinsic_1 = read_extrinsic(root, "camera_extrinsic_1");
  config.extrinsic_2 = read_extrinsic(root, "camera_extrinsic_2");
  print_extrinsics(matrix_out, config.extrinsic_1, config.extrinsic_2);
  config.arm_frame_id = read_setting(root, "arm_frame_id");
  config.intrinsics_1 = read_intrinsics(root, "camera_intrinsic_1");
  config.intrinsics_2 = read_intrinsics(root, "camera_intrinsic_2");
  config.rgb_topic_1 = read_setting(root, "rgb_topic_1");
  config.depth_topic_1 = read_setting(root, "depth_topic_1");
  config.rgb_topic_2 = read_setting(root, "rgb_topic_2");
  config.depth_topic_2 = read_setting(root, "depth_topic_2");
  return config;
}

}  // namespace tavrinox_camera_convertor
