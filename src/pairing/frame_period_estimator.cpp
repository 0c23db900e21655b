// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "tavrinox_camera_convertor/pairing/frame_period_estimator.hpp"

#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>
#include <optional>

namespace tavrinox_camera_convertor
{

void FramePeriodEstimator::observe(std::int64_t stamp_ns)
{
  const std::optional<std::int64_t> last = last_stamp_;
  // After a step back the new clock is the one to measure against.
  last_stamp_ = stamp_ns;
  if (!last || stamp_ns <= *last) {
    return;
  }
  // Unsigned, the difference of the later and the earlier stamp is exact; one beyond int64_t is
  // a clock jump, not a period.
  const std::uint64_t interval =
    static_cast<std::uint64_t>(stamp_ns) - static_cast<std::uint64_t>(*last);
  if (interval > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
    return;
  }
  intervals_[next_] = static_cast<std::int64_t>(interval);
  next_ = (next_ + 1) % kIntervals;
  count_ = std::min(count_ + 1, kIntervals);
  period_ = estimate();
}

std::optional<std::int64_t> FramePeriodEstimator::shortest_interval_ns() const
{
  if (count_ == 0) {
    return std::nullopt;
  }
  return *std::min_element(
    intervals_.begin(), intervals_.begin() + static_cast<std::ptrdiff_t>(count_));
}

std::optional<std::int64_t> FramePeriodEstimator::estimate() const
{
  if (count_ < kIntervalsToKnow) {
    return std::nullopt;
  }
  // The shortest of three, the fifth shortest of fifteen: a lost frame only ever lengthens an
  // interval, while the jitter of the stamps moves it either way by little.
  std::array<std::int64_t, kIntervals> sorted = intervals_;
  const auto end = sorted.begin() + static_cast<std::ptrdiff_t>(count_);
  const auto low = sorted.begin() + static_cast<std::ptrdiff_t>((count_ - 1) / 3);
  std::nth_element(sorted.begin(), low, end);
  return *low;
}

}  // namespace tavrinox_camera_convertor
