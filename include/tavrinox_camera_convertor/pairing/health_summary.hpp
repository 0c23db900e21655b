// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace tavrinox_camera_convertor
{

/// How the node is doing, in the levels of ROS diagnostics (OK 0, WARN 1, ERROR 2).
enum class HealthLevel : std::uint8_t
{
  ok = 0,
  warn = 1,
  error = 2,
};

/// One diagnostics status: its level, one line saying why, and the figures behind it.
struct HealthSummary
{
  HealthLevel level = HealthLevel::ok;
  std::string message;
  std::vector<std::pair<std::string, std::string>> values;  ///< key and value, in a fixed order
};

}  // namespace tavrinox_camera_convertor
