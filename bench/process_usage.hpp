// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <optional>

namespace tavrinox_camera_convertor
{

/// CPU time and resident memory of one process, as /proc tells them.
struct ProcessUsage
{
  double cpu_ms = 0.0;     ///< user plus system time since the process started
  std::int64_t resident_kib = 0;   ///< VmRSS
};

/// @brief The usage of process `pid` now, or nothing if it is gone.
std::optional<ProcessUsage> read_process_usage(pid_t pid);

}  // namespace tavrinox_camera_convertor
