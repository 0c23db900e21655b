// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// The processes whose CPU time and memory the stream benchmark reports: the converter's, a
// receiving sink's, its own.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "process_usage.hpp"

namespace tavrinox_camera_convertor
{

/// A process whose CPU time and memory the report gives, named for the table.
struct WatchedProcess
{
  std::string name;
  pid_t pid = 0;
  std::int64_t resident_min_kib = 0;
  std::int64_t resident_max_kib = 0;
};

/// The watched processes, and their resident memory sampled over the run.
class WatchedProcesses
{
public:
  /**
   * @brief "node:1234,sink:1240" into its processes; this process itself is always watched as
   *        "self", first.
   * @throws std::invalid_argument for an item that is not name:pid
   */
  explicit WatchedProcesses(const std::string & watch_list);

  /// @brief The processes, with the range of resident memory sampled so far.
  const std::vector<WatchedProcess> & processes() const {return processes_;}

  /// @brief The usage of every process now, in order; none for a process that is gone.
  std::vector<std::optional<ProcessUsage>> usage_now() const;

  /// @brief Starts the ranges of resident memory at `usage` and the timeline's clock at `origin`.
  void start_memory(
    const std::vector<std::optional<ProcessUsage>> & usage,
    std::chrono::steady_clock::time_point origin);

  /// @brief Samples every process's resident memory into the ranges and the timeline.
  void sample_memory();

  /**
   * @brief The timeline as CSV: milliseconds since start_memory(), then each process's KiB (-1
   *        when it was gone). A plateau after a peak and steady growth look alike in the range
   *        alone.
   */
  void write_memory_timeline(const std::string & path) const;

private:
  std::vector<WatchedProcess> processes_;
  std::chrono::steady_clock::time_point origin_;
  /// a row per sample: milliseconds since origin_, then each process's KiB
  std::vector<std::vector<std::int64_t>> samples_;
};

}  // namespace tavrinox_camera_convertor
