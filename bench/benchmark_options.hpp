// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include <string>
#include <vector>

#include "tavrinox_camera_convertor/geometry/instruction_set.hpp"
#include "tavrinox_camera_convertor/pipeline/frame_pipeline.hpp"

namespace tavrinox_camera_convertor::bench
{

/// Fewest timed frames per case: the statistics need three, the literal path a third of them.
inline constexpr int kFewestRuns = 3;
/// Most timed frames per case: a thousand frames of 1280 x 720 and a third as many of the
/// literal path take some minutes, the longest run anyone needs to steady the medians.
inline constexpr int kMostRuns = 1000;

/// What the benchmark is asked to do.
struct BenchmarkOptions
{
  std::string config;  ///< the camera configuration
  std::string depth1;  ///< own frame: camera 1's depth, or empty for the generated frames
  std::string depth2;
  std::string rgb1;
  int runs = 30;          ///< timed frames per case
  std::string only_case;  ///< run just this case, for profiling
  InstructionSet instruction_set = fastest_instruction_set();
  unsigned threads = default_frame_threads();  ///< threads a frame uses: 1 or 2
};

/**
 * @brief Reads the command line (argv[1] on).
 * @param default_config the configuration used without --config
 * @throws std::runtime_error naming the option that is unknown, lacks its value, or holds a
 *         value outside what it takes (--runs from kFewestRuns to kMostRuns, whole numbers only;
 *         --threads 1 or 2)
 */
BenchmarkOptions parse_benchmark_options(
  int argc, const char * const * argv, const std::string & default_config);

/**
 * @brief Checks that --case names one of `cases`; an empty name asks for all of them.
 * @throws std::runtime_error listing the cases there are
 */
void require_known_case(const std::string & only_case, const std::vector<std::string> & cases);

}  // namespace tavrinox_camera_convertor::bench
