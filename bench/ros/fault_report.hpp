// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// The fault benchmark's report: what came of the sets sent (published, lost, mixed), how long
// the converter's warnings took, what the converter said of itself, and the verdict against
// the scenario's target.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fault_plan.hpp"
#include "node_frames.hpp"
#include "node_log.hpp"
#include "node_status.hpp"

namespace tavrinox_camera_convertor
{

/// What a run did beside its plan, system times in nanoseconds.
struct FaultRun
{
  double max_set_interval_s = -1.0;  ///< what the converter was started with: -1 learned, 0 off
  std::int64_t start_system_ns = 0;  ///< the plan's start
  std::int64_t first_sent_ns = -1;
  std::int64_t last_sent_ns = -1;
  std::int64_t camera_2_back_ns = -1;  ///< when camera 2 sent again after its silence
  std::uint32_t camera_2_back_set = 0;
  std::chrono::steady_clock::duration longest_publish{};
};

/// What the converter gave and said during a run.
struct ConverterAccount
{
  FrameTally frames;
  std::size_t outputs = 0;          ///< outputs received
  std::vector<LogLine> log;
  std::vector<NodeStatus> statuses;
};

/// @brief The report of run `label` of `faults`, ending in a PASS, FAIL or INFO line.
std::string fault_report(
  const std::string & label, const Faults & faults, const Plan & plan, const FaultRun & run,
  const ConverterAccount & converter);

}  // namespace tavrinox_camera_convertor
