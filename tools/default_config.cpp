// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "default_config.hpp"

#include <filesystem>
#include <system_error>

#include "tavrinox_camera_convertor/geometry/camera_config.hpp"

namespace tavrinox_camera_convertor
{

std::string default_config_path(const std::string & source_tree_config)
{
  std::error_code error;
  const std::filesystem::path tool = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) {
    return source_tree_config;
  }
  const std::filesystem::path package_lib = tool.parent_path();
  if (package_lib.filename() != "tavrinox_camera_convertor" ||
    package_lib.parent_path().filename() != "lib")
  {
    return source_tree_config;
  }
  const std::filesystem::path installed =
    package_lib.parent_path().parent_path() / "share" / "tavrinox_camera_convertor" /
    std::filesystem::path(kConfigPathInShare).relative_path();
  return std::filesystem::exists(installed, error) ? installed.string() : source_tree_config;
}

}  // namespace tavrinox_camera_convertor
