// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "tavrinox_camera_convertor/pairing/pairing_bound.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <optional>
#include <stdexcept>
#include <string>

#include "tavrinox_camera_convertor/pairing/duration_text.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

/// Beyond this many seconds the bound no longer fits in int64_t nanoseconds.
constexpr double kLargestFixedSeconds = 9.0e9;

std::string parameter_error(const char * problem, double value)
{
  char number[64];
  std::snprintf(number, sizeof(number), "%g", value);
  return std::string("parameter ") + PairingBound::kParameter + " = " + number + ": " + problem +
         " (negative: learned from the cameras' frame periods, 0: off, positive: the largest"
         " time in seconds between the stamps of one set)";
}

}  // namespace

std::int64_t stamp_distance_ns(std::int64_t a, std::int64_t b)
{
  // Unsigned, the later minus the earlier is exact.
  const std::uint64_t distance = a < b ?
    static_cast<std::uint64_t>(b) - static_cast<std::uint64_t>(a) :
    static_cast<std::uint64_t>(a) - static_cast<std::uint64_t>(b);
  constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
  return distance > static_cast<std::uint64_t>(kMax) ? kMax : static_cast<std::int64_t>(distance);
}

std::int64_t stamp_spread_ns(const InputStamps & stamps)
{
  const auto [earliest, latest] = std::minmax_element(stamps.begin(), stamps.end());
  return stamp_distance_ns(*earliest, *latest);
}

PairingBound::PairingBound(double max_set_interval_s)
{
  if (!std::isfinite(max_set_interval_s)) {
    throw std::invalid_argument(parameter_error("must be a finite number", max_set_interval_s));
  }
  if (max_set_interval_s > kLargestFixedSeconds) {
    const std::string problem = "is too large; 0 turns the bound off";
    throw std::invalid_argument(parameter_error(problem.c_str(), max_set_interval_s));
  }
  if (max_set_interval_s < 0.0) {
    mode_ = Mode::learned;
  } else if (max_set_interval_s == 0.0) {
    mode_ = Mode::off;
  } else {
    mode_ = Mode::fixed;
    fixed_ns_ = std::llround(max_set_interval_s * 1e9);
  }
}

void PairingBound::observe(CameraInput input, std::int64_t stamp_ns)
{
  periods_[index_of(input)].observe(stamp_ns);
}

std::optional<std::int64_t> PairingBound::bound_ns() const
{
  switch (mode_) {
    case Mode::off:
      return std::nullopt;
    case Mode::fixed:
      return fixed_ns_;
    case Mode::learned:
      break;
  }
  const std::optional<CameraInput> fastest = fastest_input();
  if (fastest) {
    return *period_ns(*fastest) / 2;
  }
  const std::optional<CameraInput> shortest = input_with_shortest_interval();
  if (shortest) {
    return *periods_[index_of(*shortest)].shortest_interval_ns() / 2;
  }
  return std::nullopt;
}

bool PairingBound::accepts(const InputStamps & stamps) const
{
  const std::optional<std::int64_t> bound = bound_ns();
  return !bound || stamp_spread_ns(stamps) <= *bound;
}

std::optional<std::int64_t> PairingBound::period_ns(CameraInput input) const
{
  return periods_[index_of(input)].period_ns();
}

std::optional<CameraInput> PairingBound::fastest_input() const
{
  std::optional<CameraInput> fastest;
  std::optional<std::int64_t> shortest;
  for (const CameraInput input : kCameraInputs) {
    const std::optional<std::int64_t> period = period_ns(input);
    if (period && (!shortest || *period < *shortest)) {
      fastest = input;
      shortest = period;
    }
  }
  return fastest;
}

std::optional<CameraInput> PairingBound::input_with_shortest_interval() const
{
  std::optional<CameraInput> found;
  std::optional<std::int64_t> shortest;
  for (const CameraInput input : kCameraInputs) {
    const std::optional<std::int64_t> interval = periods_[index_of(input)].shortest_interval_ns();
    if (interval && (!shortest || *interval < *shortest)) {
      found = input;
      shortest = interval;
    }
  }
  return found;
}

std::string PairingBound::description() const
{
  switch (mode_) {
    case Mode::off:
      return "off";
    case Mode::fixed:
      return "fixed: " + milliseconds_text(fixed_ns_);
    case Mode::learned:
      break;
  }
  const std::optional<CameraInput> fastest = fastest_input();
  if (!fastest) {
    const std::optional<CameraInput> shortest = input_with_shortest_interval();
    if (!shortest) {
      return "learned: unlimited until an input's second image";
    }
    const std::int64_t interval = *periods_[index_of(*shortest)].shortest_interval_ns();
    return "learned so far: " + milliseconds_text(interval / 2) + " (half of " +
           input_name(*shortest) + "'s shortest interval yet, " + milliseconds_text(interval) +
           ")";
  }
  const std::int64_t period = *period_ns(*fastest);
  return "learned: " + milliseconds_text(period / 2) + " (half of " + input_name(*fastest) +
         "'s " + milliseconds_text(period) + " period)";
}

}  // namespace tavrinox_camera_convertor
