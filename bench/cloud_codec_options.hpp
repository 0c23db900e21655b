// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include <string>
#include <vector>

namespace tavrinox_camera_convertor::bench
{

/// What the cloud codec benchmark is asked to do.
struct CloudCodecOptions
{
  std::string config;  ///< the camera configuration whose camera 1 back-projects every case
  int runs = 15;       ///< timed runs of each candidate on each case
  std::vector<std::string> depth_files;  ///< 16-bit PNG depth images, cases beside the generated
};

/**
 * @brief Reads the command line (argv[1] on): --runs N, --config FILE and depth files.
 * @param default_config the configuration used without --config
 * @throws std::runtime_error naming an unknown option, one without its value, or a --runs that
 *         is not a whole number from 1 to 1000
 */
CloudCodecOptions parse_cloud_codec_options(
  int argc, const char * const * argv, const std::string & default_config);

}  // namespace tavrinox_camera_convertor::bench
