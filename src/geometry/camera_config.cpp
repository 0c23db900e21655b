// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "tavrinox_camera_convertor/geometry/camera_config.hpp"

#include <yaml-cpp/yaml.h>

#include <array>
#include <cmath>
#include <filesystem>
#include <stdexcept>
#include <string>

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

// yaml-cpp names the position of a bad value but not its key, and for a missing key not even
// a position: the user could not tell which of the many numbers is wrong. The text gains the
// key path while the exception stays the one yaml-cpp threw, whose type callers catch.
void name_key_path(YAML::Exception & error, const std::string & key_path)
{
  const std::string suffix = " (key " + key_path + ")";
  // yaml-cpp composes what() from the mark and msg once, when it builds the exception.
  const std::runtime_error composed(error.what() + suffix);
  error.msg += suffix;
  static_cast<std::runtime_error &>(error) = composed;
}

template<typename Read>
auto read_at(const std::string & key_path, const Read & read)
{
  try {
    return read();
  } catch (YAML::Exception & error) {
    name_key_path(error, key_path);
    throw;
  }
}

std::string element_path(const char * section, const char * key, int index)
{
  return std::string(section) + "." + key + "[" + std::to_string(index) + "]";
}

std::string key_path(const char * section, const char * key)
{
  return std::string(section) + "." + key;
}

// Every lookup starts again from the root with the mutable operator[], so a missing key
// surfaces as yaml-cpp's "bad conversion" and a scalar in the way as its BadSubscript.
// Rxyz and Txyz are read element by element in turn, which decides the error of a file with
// both wrong.
ExtrinsicTransform read_extrinsic(YAML::Node & root, const char * section)
{
  std::array<float, 3> angles{};
  std::array<float, 3> translation{};
  for (int i = 0; i < 3; ++i) {
    angles[i] = read_at(
      element_path(section, "Rxyz", i), [&] {return read_finite_number(root[section]["Rxyz"][i]);});
    translation[i] = read_at(
      element_path(section, "Txyz", i), [&] {return read_finite_number(root[section]["Txyz"][i]);});
  }
  return make_extrinsic_transform(angles, translation);
}

float number_at(YAML::Node & root, const char * section, const char * key)
{
  return read_at(key_path(section, key), [&] {return read_finite_number(root[section][key]);});
}

float focal_length_at(YAML::Node & root, const char * section, const char * key)
{
  return read_at(key_path(section, key), [&] {return read_focal_length(root[section][key]);});
}

CameraIntrinsics read_intrinsics(YAML::Node & root, const char * section)
{
  CameraIntrinsics intrinsics;
  intrinsics.fx = focal_length_at(root, section, "fx");
  intrinsics.fy = focal_length_at(root, section, "fy");
  intrinsics.cx = number_at(root, section, "cx");
  intrinsics.cy = number_at(root, section, "cy");
  return intrinsics;
}

std::string read_setting(YAML::Node & root, const char * key)
{
  constexpr const char * kSection = "tavrinox_camera_convertor";
  return read_at(key_path(kSection, key), [&] {return root[kSection][key].as<std::string>();});
}

}  // namespace

CameraConfig load_camera_config(const std::string & path, std::ostream & matrix_out)
{
  return load_camera_config(path, matrix_out, ConfigSections{});
}

CameraConfig load_camera_config(
  const std::string & path, std::ostream & matrix_out, ConfigSections wanted)
{
  // A directory opens like a file and reads as an empty document, which would be reported as a
  // missing key: it is refused as yaml-cpp refuses a file it cannot open.
  std::error_code ignored;
  if (std::filesystem::is_directory(path, ignored)) {
    throw YAML::BadFile(path + " (a directory, not a file)");
  }
  YAML::Node root = YAML::LoadFile(path);
  // A section another source supplies may be left out; one that is there is checked all the same.
  const auto present = [&root](const char * section) {
      return static_cast<bool>(root[section]);
    };
  CameraConfig config;
  if (wanted.extrinsics || present("camera_extrinsic_1")) {
    config.extrinsic_1 = read_extrinsic(root, "camera_extrinsic_1");
  }
  if (wanted.extrinsics || present("camera_extrinsic_2")) {
    config.extrinsic_2 = read_extrinsic(root, "camera_extrinsic_2");
  }
  if (wanted.extrinsics) {
    print_extrinsics(matrix_out, config.extrinsic_1, config.extrinsic_2);
  }
  config.arm_frame_id = read_setting(root, "arm_frame_id");
  if (wanted.intrinsics || present("camera_intrinsic_1")) {
    config.intrinsics_1 = read_intrinsics(root, "camera_intrinsic_1");
  }
  if (wanted.intrinsics || present("camera_intrinsic_2")) {
    config.intrinsics_2 = read_intrinsics(root, "camera_intrinsic_2");
  }
  config.rgb_topic_1 = read_setting(root, "rgb_topic_1");
  config.depth_topic_1 = read_setting(root, "depth_topic_1");
  config.rgb_topic_2 = read_setting(root, "rgb_topic_2");
  config.depth_topic_2 = read_setting(root, "depth_topic_2");
  return config;
}

}  // namespace tavrinox_camera_convertor
