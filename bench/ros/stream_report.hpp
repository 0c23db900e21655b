// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// The stream benchmark's report of a measured window, a "key=value" line per figure: outputs,
// processes, the link to other hosts and the node's compressed subtopics.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "stream_recording.hpp"
#include "stream_windows.hpp"
#include "watched_processes.hpp"

namespace tavrinox_camera_convertor
{

/// What the report of the outputs needs to know of the run beside what it recorded.
struct StreamPace
{
  double rate_hz = 10.0;
  std::uint32_t bad_every = 0;   ///< every so many sets is a bad one; 0: none
  bool stamp_latencies = false;  ///< the recording kept every output, stamps and all
};

/**
 * @brief Delivery and latency of each output over the good sets of `window`, and what came of
 *        the bad ones; each line begins with `prefix`.
 */
void report_outputs(
  const Window & window, const std::string & prefix, const StreamRecording & recording,
  const StreamPace & pace, std::ostream & text);

/// @brief CPU per set and resident memory of every watched process over `window`.
void report_processes(
  const Window & window, const std::string & prefix,
  const std::vector<WatchedProcess> & processes, std::ostream & text);

/// @brief What the link `interface` carried in `window`, per set published; nothing unwatched.
void report_link(
  const Window & window, const std::string & prefix, const std::string & interface,
  std::ostream & text);

/// @brief What the node's compressed subtopics sent and skipped in `window`.
void report_subtopics(const Window & window, const std::string & prefix, std::ostream & text);

}  // namespace tavrinox_camera_convertor
