// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "benchmark_config.hpp"

#include <sstream>

#include <ament_index_cpp/get_package_share_directory.hpp>

namespace tavrinox_camera_convertor
{

CameraConfig load_benchmark_config(const std::string & path)
{
  const std::string config_path = !path.empty() ? path :
    ament_index_cpp::get_package_share_directory("tavrinox_camera_convertor") +
    kConfigPathInShare;
  // The matrices the loader prints are the converter's to show, not a benchmark's.
  std::ostringstream matrices;
  return load_camera_config(config_path, matrices);
}

}  // namespace tavrinox_camera_convertor
