// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// The measured parts of a stream benchmark run: one, or two with a pause between them in which
// another consumer (on another host, say) joins, so that one run measures the converter
// without and with it.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "link_counters.hpp"
#include "process_usage.hpp"
#include "remote_figures.hpp"
#include "subtopic_diagnostics.hpp"

namespace tavrinox_camera_convertor
{

/// A measured part of a run, with what every watched process, the link and the node's
/// subtopics had done at its start and its end.
struct Window
{
  std::string name;   ///< empty when the run has one window
  SetRange sets;
  std::chrono::steady_clock::time_point started;
  std::chrono::steady_clock::time_point ended;
  bool has_ended = false;
  std::vector<std::optional<ProcessUsage>> usage_at_start;
  std::vector<std::optional<ProcessUsage>> usage_at_end;
  std::optional<LinkCounters> link_at_start;
  std::optional<LinkCounters> link_at_end;
  SubtopicSnapshot subtopics_at_start;
  SubtopicSnapshot subtopics_at_end;
};

/**
 * @brief The windows of `measured` sets each after `warm_up` sets: one right after the warm-up
 *        when `count` is 1, else "first" and "second" with `settle` sets between them.
 */
std::vector<Window> plan_windows(
  std::uint32_t warm_up, std::uint32_t measured, std::uint32_t settle, std::int64_t count);

}  // namespace tavrinox_camera_convertor
