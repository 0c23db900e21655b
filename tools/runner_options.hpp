// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "frame_inputs.hpp"

namespace tavrinox_camera_convertor
{

/// Where the runner's frames come from.
enum class FrameSource
{
  kFiles,     ///< one frame set from --depth1, --depth2, --rgb1 [--rgb2] [--truth]
  kSample,    ///< the generated sample scene
  kSequence,  ///< numbered frame sets in a directory
};

/// What the command line asks the runner to do.
struct RunnerOptions
{
  bool show_help = false;
  std::string config_path;
  FrameSource source = FrameSource::kFiles;
  FrameFiles files;                   ///< for kFiles
  std::uint32_t sample_width = 640;   ///< for kSample
  std::uint32_t sample_height = 480;  ///< for kSample
  std::string sequence_directory;     ///< for kSequence
  std::string output_directory;
};

/**
 * @brief Reads the command line (without the program name) with CommandLine's rules.
 * @param default_config_path the configuration used when --config is not given
 * @throws UsageError naming the option that is unknown, repeated, missing, lacks its value,
 *         has a malformed value, or does not go with the chosen source
 */
RunnerOptions parse_runner_options(
  const std::vector<std::string> & arguments, const std::string & default_config_path);

/// @brief The --help text.
std::string runner_usage();

}  // namespace tavrinox_camera_convertor
