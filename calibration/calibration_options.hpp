// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include <string>
#include <vector>

namespace tavrinox_camera_convertor
{

/// What the command line asks the calibration check to do.
struct CalibrationOptions
{
  bool show_help = false;
  std::string config_path;
  bool use_sample = false;       ///< the generated sample scene instead of --depth1 and --depth2
  std::string depth_1;
  std::string depth_2;
  bool refine = false;
  int refined_camera = 2;        ///< the camera whose extrinsic the refinement corrects
  std::string write_path;        ///< the refined configuration; empty for none
  std::string output_directory;  ///< where the picture goes; empty: next to write_path, or nowhere
  double max_translation_mm = 100.0;
  double max_rotation_deg = 10.0;
};

/**
 * @brief Reads the command line (without the program name) with CommandLine's rules.
 * @param default_config_path the configuration used when --config is not given
 * @throws UsageError naming the option that is unknown, repeated, missing, lacks its value, has a
 *         malformed value, or does not go with the others
 */
CalibrationOptions parse_calibration_options(
  const std::vector<std::string> & arguments, const std::string & default_config_path);

/// @brief The --help text.
std::string calibration_usage();

}  // namespace tavrinox_camera_convertor
