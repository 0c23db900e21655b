// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include <algorithm>
#include <vector>

namespace tavrinox_camera_convertor::bench
{

/**
 * @brief The median of timed runs, the upper middle one of an even count: one slow run, a
 *        page fault or a preemption, moves it no more than any other.
 * @param samples at least one
 */
inline double median_of(std::vector<double> samples)
{
  std::sort(samples.begin(), samples.end());
  return samples[samples.size() / 2];
}

}  // namespace tavrinox_camera_convertor::bench
