// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// Times as the ROS 2 benchmarks keep them: whole nanoseconds in 64 bits.
#pragma once

#include <chrono>
#include <cstdint>

#include <builtin_interfaces/msg/time.hpp>

namespace tavrinox_camera_convertor
{

inline constexpr std::int64_t kMillisecond = 1000000;
inline constexpr std::int64_t kSecond = 1000 * kMillisecond;

/// @brief The system clock now, which message stamps and log lines use.
inline std::int64_t system_ns()
{
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
    std::chrono::system_clock::now().time_since_epoch()).count();
}

/// @brief The steady clock now, for intervals within this process.
inline std::int64_t steady_ns()
{
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
    std::chrono::steady_clock::now().time_since_epoch()).count();
}

/// @brief A message stamp as nanoseconds of the system clock.
inline std::int64_t stamp_ns(const builtin_interfaces::msg::Time & stamp)
{
  return static_cast<std::int64_t>(stamp.sec) * kSecond + stamp.nanosec;
}

}  // namespace tavrinox_camera_convertor
