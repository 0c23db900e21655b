// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include <vector>

namespace tavrinox_camera_convertor
{

/// Latencies of one output over a run, in milliseconds.
struct LatencySummary
{
  double p50 = 0.0;
  double p90 = 0.0;
  double p99 = 0.0;
  double max = 0.0;
};

/// @brief Nearest-rank percentiles of `latencies_ms`; all zero when it is empty.
LatencySummary summarize_latencies(std::vector<double> latencies_ms);

}  // namespace tavrinox_camera_convertor
