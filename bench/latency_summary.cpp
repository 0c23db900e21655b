// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "latency_summary.hpp"

#include <algorithm>
#include <cmath>

namespace tavrinox_camera_convertor
{
namespace
{

double nearest_rank(const std::vector<double> & sorted, double fraction)
{
  const auto rank = static_cast<std::size_t>(std::ceil(
      fraction * static_cast<double>(sorted.size())));
  return sorted[std::max<std::size_t>(rank, 1) - 1];
}

}  // namespace

LatencySummary summarize_latencies(std::vector<double> latencies_ms)
{
  if (latencies_ms.empty()) {
    return {};
  }
  std::sort(latencies_ms.begin(), latencies_ms.end());
  return {nearest_rank(latencies_ms, 0.5), nearest_rank(latencies_ms, 0.9),
    nearest_rank(latencies_ms, 0.99), latencies_ms.back()};
}

}  // namespace tavrinox_camera_convertor
