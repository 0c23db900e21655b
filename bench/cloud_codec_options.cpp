// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "cloud_codec_options.hpp"

#include <cstddef>
#include <exception>
#include <stdexcept>

namespace tavrinox_camera_convertor::bench
{

CloudCodecOptions parse_cloud_codec_options(
  int argc, const char * const * argv, const std::string & default_config)
{
  CloudCodecOptions options;
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
      options.depth_files.push_back(argument);
    }
  }
  return options;
}

}  // namespace tavrinox_camera_convertor::bench
