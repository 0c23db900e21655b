// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include <ostream>
#include <string>

#include "tavrinox_camera_convertor/geometry/camera_intrinsics.hpp"
#include "tavrinox_camera_convertor/geometry/extrinsic_transform.hpp"

namespace tavrinox_camera_convertor
{

/// Where the configuration lives below the package's share directory.
inline constexpr const char * kConfigPathInShare = "/config/camera_config.yaml";

/// Everything the converter knows about its two cameras, as read from the YAML file.
struct CameraConfig
{
  ExtrinsicTransform extrinsic_1 = ExtrinsicTransform::Identity();
  ExtrinsicTransform extrinsic_2 = ExtrinsicTransform::Identity();
  std::string arm_frame_id;
  CameraIntrinsics intrinsics_1;
  CameraIntrinsics intrinsics_2;
  std::string rgb_topic_1;
  std::string depth_topic_1;
  std::string rgb_topic_2;
  std::string depth_topic_2;
};

/**
 * @brief Reads the configuration file and prints both extrinsic matrices as soon as they are built.
 *
 * Values are read in a fixed order (extrinsics of camera 1 and 2, then the frame id, the
 * intrinsics and the topics), so a failure late in the file leaves the matrices printed.
 * Every key is required. Errors are yaml-cpp's own exceptions: YAML::BadFile (also for a
 * directory),
 * YAML::ParserException, YAML::BadConversion, YAML::BadSubscript. A value that cannot be read
 * keeps yaml-cpp's text and names its key path after it, in msg and what() alike, for example
 * `yaml-cpp: error at line 8, column 7: bad conversion (key camera_intrinsic_1.fx)` or
 * `bad conversion (key camera_extrinsic_1.Rxyz[2])` for a missing one. A NaN or infinite
 * calibration number, or a zero focal length, is a BadConversion at its position.
 * @param path the YAML file
 * @param matrix_out where the two matrices are printed (standard output in the node)
 */
CameraConfig load_camera_config(const std::string & path, std::ostream & matrix_out);

/// Which calibration sections a configuration must hold: those no other source supplies.
struct ConfigSections
{
  bool intrinsics = true;  ///< camera_intrinsic_1 and _2 (false: the cameras' infos give them)
  bool extrinsics = true;  ///< camera_extrinsic_1 and _2 (false: TF gives them)
};

/**
 * @brief load_camera_config for a node that takes some calibration from elsewhere: a section
 *        `wanted` does not ask for may be absent (its values stay at their defaults), and is
 *        checked as ever when present. The matrices are printed only when the extrinsics are
 *        wanted from the file.
 */
CameraConfig load_camera_config(
  const std::string & path, std::ostream & matrix_out, ConfigSections wanted);

}  // namespace tavrinox_camera_convertor
