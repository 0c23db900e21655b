// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// What the codec benchmarks (the cloud codec's, the colour codec's) start from: the command line,
// the camera configuration it names, and their main.
#pragma once

#include <string>
#include <vector>

#include "benchmark_exit.hpp"
#include "tavrinox_camera_convertor/geometry/camera_config.hpp"

namespace tavrinox_camera_convertor::bench
{

/// What a codec benchmark (the cloud codec's, the colour codec's) is asked to do.
struct CodecBenchmarkOptions
{
  std::string config;  ///< the camera configuration the generated cases are seen by
  int runs = 15;       ///< timed runs of each candidate on each case
  std::vector<std::string> files;  ///< image files, cases beside the generated ones
};

/**
 * @brief Reads the command line (argv[1] on): --runs N, --config FILE and image files.
 * @param default_config the configuration used without --config
 * @throws std::runtime_error naming an unknown option, one without its value, or a --runs that
 *         is not a whole number from 1 to 1000
 */
CodecBenchmarkOptions parse_codec_benchmark_options(
  int argc, const char * const * argv, const std::string & default_config);

/// What a codec benchmark runs with: its options and the camera configuration they name.
struct CodecBenchmarkSetup
{
  CodecBenchmarkOptions options;
  CameraConfig config;
};

/**
 * @brief The options of the command line, as parse_codec_benchmark_options() reads them, and the
 *        configuration they name, whose matrices stay unprinted: the output is the tables.
 * @throws std::runtime_error as parse_codec_benchmark_options() does, or for a configuration
 *         that cannot be read
 */
CodecBenchmarkSetup codec_benchmark_setup(
  int argc, const char * const * argv, const std::string & default_config);

/**
 * @brief A codec benchmark's main: `run` with the setup of the command line (the configuration
 *        TAVRINOX_DEFAULT_CONFIG, which each codec benchmark's target defines, without --config),
 *        and what guarded_main() makes of a failure, with `program` and `usage`.
 */
template<int(*run)(const CodecBenchmarkSetup &)>
int codec_benchmark_main(int argc, char ** argv, const char * program, const char * usage)
{
  return guarded_main(
    [](int count, char ** arguments) {
      return run(codec_benchmark_setup(count, arguments, TAVRINOX_DEFAULT_CONFIG));
    }, argc, argv, program, usage);
}

}  // namespace tavrinox_camera_convertor::bench
