// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace tavrinox_camera_convertor
{

/**
 * @brief The offline runner: reads the command line, the configuration and the frames, runs
 *        each frame through the node's FramePipeline and writes its outputs, a preview picture
 *        and a summary.
 *
 * Every input is read and every frame processed before its outputs are written; the files of
 * a frame are written under temporary names and renamed together at the end, so a failure
 * leaves no partial output.
 * @param arguments the command line without the program name
 * @param default_config_path the configuration read when --config is not given
 * @param out start-up matrices, summaries and progress
 * @param err the one line that says why a run failed
 * @return 0 when done, kExitBadInput for a fault of the user's inputs, configuration or output
 *         directory, kExitInternalError for anything else
 */
int run_offline_runner(
  const std::vector<std::string> & arguments, const std::string & default_config_path,
  std::ostream & out,
  std::ostream & err);

}  // namespace tavrinox_camera_convertor
