// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace tavrinox_camera_convertor
{

/// Exit status of a check whose cameras disagree (without --refine).
inline constexpr int kExitCamerasDisagree = 4;
/// Exit status of a run that found no trustworthy answer; nothing is written.
inline constexpr int kExitRefused = 3;

/**
 * @brief The whole tavrinox_calibration_check command.
 *
 * Builds both arm-frame clouds, reports their agreement and verdict, and with --refine registers
 * one camera onto the other, reports the correction and the agreement after it, and writes the
 * corrected configuration and the picture. Outputs appear all together or not at all.
 * @param arguments the command line without the program name
 * @param default_config_path the package's configuration: used without --config, and the calibration
 *        the sample scene is rendered with, so that --sample checks --config against the truth
 * @param out the report; @p err the one line that says why a run failed
 * @return 0 agrees or refined; kExitCamerasDisagree; kExitRefused; 2 input, configuration or
 *         command line at fault; 1 internal error
 */
int run_calibration_check(
  const std::vector<std::string> & arguments, const std::string & default_config_path,
  std::ostream & out,
  std::ostream & err);

}  // namespace tavrinox_camera_convertor
