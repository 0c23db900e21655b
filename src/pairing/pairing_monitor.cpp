// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "tavrinox_camera_convertor/pairing/pairing_monitor.hpp"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <optional>
#include <string>
#include <utility>

#include "tavrinox_camera_convertor/pairing/duration_text.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

/// Stamps further apart than this, or three of the longest period, are no offset of two
/// free-running cameras nor a driver's latency: one clock is elsewhere.
constexpr std::chrono::milliseconds kLeastClockDisagreement{500};

std::int64_t nanoseconds_of(std::chrono::steady_clock::duration duration)
{
  return std::chrono::duration_cast<std::chrono::nanoseconds>(duration).count();
}

/// @brief Three times `period_ns`, saturated: a clock that jumps about may teach any period.
std::int64_t three_times(std::int64_t period_ns)
{
  constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
  return period_ns > kMax / 3 ? kMax : 3 * period_ns;
}

/// @brief `text` and `more`, joined by "; " when both say something.
std::string joined(const std::string & text, const std::string & more)
{
  if (text.empty() || more.empty()) {
    return text + more;
  }
  return text + "; " + more;
}

std::string per_second_text(std::uint64_t count, std::int64_t window_ns)
{
  const double rate = window_ns > 0 ? static_cast<double>(count) * 1e9 / window_ns : 0.0;
  char text[32];
  std::snprintf(text, sizeof(text), "%.1f", rate);
  return text;
}

/// @brief "camera 1 colour and camera 2 depth", in input order.
std::string pair_name(CameraInput a, CameraInput b)
{
  if (index_of(b) < index_of(a)) {
    std::swap(a, b);
  }
  return std::string(input_name(a)) + " and " + input_name(b);
}

}  // namespace

PairingMonitor::PairingMonitor(double max_set_interval_s)
: bound_(max_set_interval_s) {}

void PairingMonitor::on_image(CameraInput input, std::int64_t stamp_ns, TimePoint now)
{
  if (!first_image_) {
    first_image_ = now;
  }
  if (!window_start_) {
    window_start_ = now;
  }
  InputState & state = inputs_[index_of(input)];
  state.last_arrival = now;
  state.latest_stamp = stamp_ns;
  state.stamps[state.next_stamp] = stamp_ns;
  state.next_stamp = (state.next_stamp + 1) % kStampHistory;
  state.stamp_count = std::min(state.stamp_count + 1, kStampHistory);
  ++state.arrivals_in_window;
  bound_.observe(input, stamp_ns);
  dropped_.on_image(input, stamp_ns, bound_, now);
}

std::optional<std::string> PairingMonitor::on_set_processed(
  const InputStamps & stamps, TimePoint now)
{
  dropped_.on_set_processed(stamps, bound_);
  ++sets_in_window_;
  std::optional<std::string> line;
  if (warned_) {
    line = "Sets are paired again after " +
      duration_text(nanoseconds_of(now - without_set_since(now))) + " without one";
    warned_ = false;
  }
  last_processed_ = now;
  last_paired_ = now;
  if (!window_start_) {
    window_start_ = now;
  }
  return line;
}

void PairingMonitor::on_set_mixed(const InputStamps & stamps, TimePoint now)
{
  dropped_.on_set_refused(stamps);
  dropped_.expire(bound_, now);
}

void PairingMonitor::on_frame_rejected(const std::string & reason, TimePoint now)
{
  ++rejected_total_;
  rejected_in_window_ = true;
  last_rejection_ = reason;
  last_paired_ = now;
}

std::optional<std::string> PairingMonitor::poll(TimePoint now)
{
  dropped_.expire(bound_, now);
  if (!stalled(now) || (warned_ && now - last_warning_ < kWarningRepeat)) {
    return std::nullopt;
  }
  warned_ = true;
  last_warning_ = now;
  return stall_cause(now);
}

HealthSummary PairingMonitor::summary(TimePoint now)
{
  dropped_.expire(bound_, now);
  const std::int64_t window_ns = window_start_ ? nanoseconds_of(now - *window_start_) : 0;
  HealthSummary summary;
  for (const CameraInput input : kCameraInputs) {
    summary.values.emplace_back(
      std::string(input_name(input)) + " rate (Hz)",
      per_second_text(inputs_[index_of(input)].arrivals_in_window, window_ns));
  }
  summary.values.emplace_back(
    "sets processed (per second)", per_second_text(sets_in_window_, window_ns));
  const DroppedSetCounts & dropped = dropped_.counts();
  summary.values.emplace_back(
    "sets dropped (incomplete or mixed)",
    std::to_string(dropped.total()));
  summary.values.emplace_back("sets dropped as incomplete", std::to_string(dropped.incomplete));
  summary.values.emplace_back("sets dropped as mixed", std::to_string(dropped.mixed));
  summary.values.emplace_back("frames rejected as bad input", std::to_string(rejected_total_));
  summary.values.emplace_back(
    "last rejection reason", last_rejection_.empty() ? "none" : last_rejection_);
  summary.values.emplace_back(
    std::string("pairing bound (") + PairingBound::kParameter + ")", bound_.description());
  for (const CameraInput input : kCameraInputs) {
    const std::optional<std::int64_t> period = bound_.period_ns(input);
    summary.values.emplace_back(
      std::string(input_name(input)) + " period", period ? milliseconds_text(*period) : "unknown");
  }

  if (rejected_in_window_) {
    summary.level = HealthLevel::error;
    summary.message = "frame rejected as bad input: " + last_rejection_;
  }
  if (stalled(now)) {
    summary.level = std::max(summary.level, HealthLevel::warn);
    summary.message = joined(summary.message, stall_cause(now));
  }
  if (summary.message.empty()) {
    if (!first_image_) {
      summary.message = "waiting for images";
    } else if (now - *last_arrival_of_any() > kStall) {
      // Not a stall: nothing arrives at all, the cameras are waited for.
      summary.message = "no image on any input for " +
        duration_text(nanoseconds_of(now - *last_arrival_of_any()));
    } else {
      summary.message = "sets paired at " + per_second_text(sets_in_window_, window_ns) + " Hz";
    }
  }

  for (InputState & state : inputs_) {
    state.arrivals_in_window = 0;
  }
  sets_in_window_ = 0;
  rejected_in_window_ = false;
  window_start_ = now;
  return summary;
}

bool PairingMonitor::stalled(TimePoint now) const
{
  const std::optional<TimePoint> last_arrival = last_arrival_of_any();
  if (!first_image_ || !last_arrival || now - *last_arrival > kStall) {
    return false;
  }
  return now - without_pairing_since(now) >= kStall;
}

std::optional<PairingMonitor::TimePoint> PairingMonitor::last_arrival_of_any() const
{
  std::optional<TimePoint> latest;
  for (const InputState & state : inputs_) {
    if (state.last_arrival && (!latest || *state.last_arrival > *latest)) {
      latest = state.last_arrival;
    }
  }
  return latest;
}

std::chrono::nanoseconds PairingMonitor::silence_limit(CameraInput input) const
{
  const std::chrono::nanoseconds least = kLeastSilence;
  const std::optional<std::int64_t> period = bound_.period_ns(input);
  return period ? std::max(least, std::chrono::nanoseconds(three_times(*period))) : least;
}

PairingMonitor::TimePoint PairingMonitor::without_set_since(TimePoint now) const
{
  const TimePoint first = first_image_.value_or(now);
  return std::max(first, last_processed_.value_or(first));
}

PairingMonitor::TimePoint PairingMonitor::without_pairing_since(TimePoint now) const
{
  const TimePoint first = first_image_.value_or(now);
  return std::max(first, last_paired_.value_or(first));
}

void PairingMonitor::set_waiting_for(std::string cause)
{
  waiting_for_ = std::move(cause);
}

std::string PairingMonitor::stall_cause(TimePoint now) const
{
  if (!waiting_for_.empty()) {
    // The sets are paired; they wait for what turns them into outputs.
    return "sets are paired but wait: " + waiting_for_;
  }
  std::string cause = silent_inputs(now);
  if (cause.empty()) {
    cause = distant_stamps();
  }
  if (cause.empty()) {
    cause = closest_set_beyond_bound();
  }
  if (cause.empty()) {
    cause = "images arrive but no set was paired for " +
      duration_text(nanoseconds_of(now - without_pairing_since(now)));
  }
  return cause;
}

std::string PairingMonitor::silent_inputs(TimePoint now) const
{
  std::string text;
  for (const CameraInput input : kCameraInputs) {
    // An input that never sent an image has been silent since the first image of any.
    const TimePoint since = inputs_[index_of(input)].last_arrival.value_or(*first_image_);
    if (now - since > silence_limit(input)) {
      text = joined(
        text, std::string(input_name(input)) + ": no image for " +
        duration_text(nanoseconds_of(now - since)));
    }
  }
  return text;
}

std::string PairingMonitor::distant_stamps() const
{
  std::int64_t longest_period = 0;
  for (const CameraInput input : kCameraInputs) {
    if (!inputs_[index_of(input)].last_arrival) {
      return {};
    }
    longest_period = std::max(longest_period, bound_.period_ns(input).value_or(0));
  }
  const std::int64_t limit = std::max(
    std::chrono::nanoseconds(kLeastClockDisagreement).count(), three_times(longest_period));
  const auto latest = [this](CameraInput input) {
      return inputs_[index_of(input)].latest_stamp;
    };

  std::string text;
  for (const auto & [colour, depth] : {
      std::pair{CameraInput::rgb_1, CameraInput::depth_1},
      std::pair{CameraInput::rgb_2, CameraInput::depth_2}})
  {
    const std::int64_t distance = stamp_distance_ns(latest(colour), latest(depth));
    if (distance > limit) {
      text = joined(
        text, pair_name(colour, depth) + " stamps differ by " + duration_text(distance));
    }
  }
  if (!text.empty()) {
    return text;
  }
  const std::int64_t camera_1 = std::max(latest(CameraInput::rgb_1), latest(CameraInput::depth_1));
  const std::int64_t camera_2 = std::max(latest(CameraInput::rgb_2), latest(CameraInput::depth_2));
  const std::int64_t distance = stamp_distance_ns(camera_1, camera_2);
  if (distance > limit) {
    return "camera 1 and camera 2 stamps differ by " + duration_text(distance) +
           ": are their clocks synchronised?";
  }
  return {};
}

std::string PairingMonitor::closest_set_beyond_bound() const
{
  const std::optional<std::int64_t> bound = bound_.bound_ns();
  if (!bound) {
    return {};
  }
  // The set with the smallest spread that one stamp of each input allows: for each stamp as
  // the earliest, the earliest stamp of every other input not before it.
  std::optional<std::int64_t> closest;
  CameraInput earliest_input = CameraInput::rgb_1;
  CameraInput latest_input = CameraInput::rgb_1;
  for (const CameraInput low : kCameraInputs) {
    const InputState & low_state = inputs_[index_of(low)];
    for (std::size_t i = 0; i < low_state.stamp_count; ++i) {
      const std::int64_t start = low_state.stamps[i];
      std::int64_t end = start;
      CameraInput high = low;
      bool complete = true;
      for (const CameraInput other : kCameraInputs) {
        if (other == low) {
          continue;
        }
        const InputState & state = inputs_[index_of(other)];
        std::optional<std::int64_t> next;
        for (std::size_t j = 0; j < state.stamp_count; ++j) {
          if (state.stamps[j] >= start && (!next || state.stamps[j] < *next)) {
            next = state.stamps[j];
          }
        }
        if (!next) {
          complete = false;
          break;
        }
        if (*next > end) {
          end = *next;
          high = other;
        }
      }
      const std::int64_t spread = stamp_distance_ns(start, end);
      if (complete && (!closest || spread < *closest)) {
        closest = spread;
        earliest_input = low;
        latest_input = high;
      }
    }
  }
  if (!closest || *closest <= *bound) {
    return {};
  }
  return pair_name(earliest_input, latest_input) + " stamps differ by " +
         duration_text(*closest) + ", more than the " + duration_text(*bound) +
         " a set may span (parameter " + PairingBound::kParameter + ")";
}

}  // namespace tavrinox_camera_convertor
