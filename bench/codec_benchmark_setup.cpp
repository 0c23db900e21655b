// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "codec_benchmark_setup.hpp"

#include <cstddef>
#include <exception>
#include <sstream>
#include <stdexcept>

namespace tavrinox_camera_convertor::bench
{

CodecBenchmarkOptions parse_codec_benchmark_options(
  int argc, const char * const * argv, const std::string & default_config)
{
  CodecBenchmarkOptions options;
  options.config = default_config;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if ((argument == "--runs" || argument == "--config") && i + 1 < argc) {
      const std::string value = argv[++i];
      if (argument == "--config") {
        options.config = value;
        continue;
      }
      std::size_t used = 0;
      int runs = 0;
      try {
        runs = std::stoi(value, &used);
      } catch (const std::exception &) {
        used = 0;
      }
      if (used != value.size() || runs < 1 || runs > 1000) {
        throw std::runtime_error("--runs takes a whole number from 1 to 1000, not " + value);
      }
      options.runs = runs;
    } else if (argument.rfind("--", 0) == 0) {
      throw std::runtime_error("unknown option or missing value: " + argument);
    } else {
      options.files.push_back(argument);
    }
  }
  return options;
}

CodecBenchmarkSetup codec_benchmark_setup(
  int argc, const char * const * argv, const std::string & default_config)
{
  CodecBenchmarkSetup setup;
  setup.options = parse_codec_benchmark_options(argc, argv, default_config);
  std::ostringstream matrices;
  setup.config = load_camera_config(setup.options.config, matrices);
  return setup;
}

}  // namespace tavrinox_camera_convertor::bench
