// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "tavrinox_camera_convertor/pairing/dropped_set_counter.hpp"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>

namespace tavrinox_camera_convertor
{
namespace
{

constexpr std::uint8_t bit_of(CameraInput input)
{
  return static_cast<std::uint8_t>(1u << index_of(input));
}

}  // namespace

std::optional<std::int64_t> DroppedSetCounter::frame_tolerance_ns(const PairingBound & bound)
{
  // Frames follow the cameras' rhythm whatever the bound: a fixed bound narrower than that
  // refuses a frame's set, which is then counted as such, and a wider one would let one frame
  // swallow its neighbour.
  const std::optional<CameraInput> fastest = bound.fastest_input();
  if (!fastest) {
    return std::nullopt;
  }
  return *bound.period_ns(*fastest) / 2;
}

void DroppedSetCounter::on_image(
  CameraInput input, std::int64_t stamp_ns, const PairingBound & bound, TimePoint now)
{
  expire(bound, now);
  seen_ |= bit_of(input);
  const std::optional<std::int64_t> tolerance = frame_tolerance_ns(bound);
  if (!tolerance) {
    return;
  }
  const std::uint8_t bit = bit_of(input);
  std::size_t nearest = size_;
  std::int64_t nearest_distance = std::numeric_limits<std::int64_t>::max();
  for (std::size_t i = 0; i < size_; ++i) {
    const Frame & frame = frames_[i];
    if ((frame.present & bit) != 0) {
      if (frame.stamps[index_of(input)] == stamp_ns) {
        return;  // the same image again
      }
      continue;
    }
    const std::int64_t distance = stamp_distance_ns(stamp_ns, frame.reference_ns);
    if (distance <= *tolerance && distance < nearest_distance) {
      nearest = i;
      nearest_distance = distance;
    }
  }
  if (nearest < size_) {
    frames_[nearest].stamps[index_of(input)] = stamp_ns;
    frames_[nearest].present |= bit;
    return;
  }
  if (size_ == kFrames) {
    drop(0, bound, *tolerance);
  }
  std::size_t position = size_;
  while (position > 0 && frames_[position - 1].reference_ns > stamp_ns) {
    frames_[position] = frames_[position - 1];
    --position;
  }
  Frame & frame = frames_[position];
  frame = Frame{};
  frame.stamps[index_of(input)] = stamp_ns;
  frame.reference_ns = stamp_ns;
  frame.first_arrival = now;
  frame.present = bit;
  ++size_;
}

void DroppedSetCounter::on_set_processed(const InputStamps & stamps, const PairingBound & bound)
{
  for (const CameraInput input : kCameraInputs) {
    const std::size_t index = find(input, stamps[index_of(input)]);
    if (index < size_) {
      erase(index);
    }
  }
  // The synchronizer has let go of everything older than the set it gave.
  const std::int64_t tolerance = frame_tolerance_ns(bound).value_or(0);
  const std::int64_t earliest = *std::min_element(stamps.begin(), stamps.end());
  while (size_ > 0) {
    const std::int64_t reference = frames_[0].reference_ns;
    if (reference >= earliest || stamp_distance_ns(reference, earliest) <= tolerance) {
      break;
    }
    drop(0, bound, tolerance);
  }
  for (const CameraInput input : kCameraInputs) {
    last_[index_of(input)] = stamps[index_of(input)];
  }
}

void DroppedSetCounter::on_set_refused(const InputStamps & stamps)
{
  for (const CameraInput input : kCameraInputs) {
    const std::size_t index = find(input, stamps[index_of(input)]);
    if (index < size_) {
      frames_[index].refused = true;
    }
  }
}

void DroppedSetCounter::expire(const PairingBound & bound, TimePoint now)
{
  const std::int64_t tolerance = frame_tolerance_ns(bound).value_or(0);
  std::size_t i = 0;
  while (i < size_) {
    if (now - frames_[i].first_arrival > kExpiry) {
      drop(i, bound, tolerance);
    } else {
      ++i;
    }
  }
}

std::size_t DroppedSetCounter::find(CameraInput input, std::int64_t stamp_ns) const
{
  for (std::size_t i = 0; i < size_; ++i) {
    if ((frames_[i].present & bit_of(input)) != 0 &&
      frames_[i].stamps[index_of(input)] == stamp_ns)
    {
      return i;
    }
  }
  return size_;
}

void DroppedSetCounter::drop(
  std::size_t index, const PairingBound & bound, std::int64_t tolerance_ns)
{
  const Frame & frame = frames_[index];
  bool missing = false;
  bool every_missing_input_due = true;
  for (const CameraInput input : kCameraInputs) {
    std::optional<std::int64_t> & last = last_[index_of(input)];
    if ((frame.present & bit_of(input)) != 0) {
      last = frame.stamps[index_of(input)];
      continue;
    }
    const std::optional<std::int64_t> period = bound.period_ns(input);
    // Without its period or last image nobody can tell whether the input was due, except one
    // that never sent an image: then no set can be complete.
    bool due = (seen_ & bit_of(input)) == 0;
    if (last && period) {
      due = frame.reference_ns < *last ||
        stamp_distance_ns(frame.reference_ns, *last) >= *period - tolerance_ns;
      if (due) {
        last = frame.reference_ns;  // where its image should have been
      }
    }
    missing = true;
    every_missing_input_due = every_missing_input_due && due;
  }
  // A frame of the faster camera between two of the slower one's is no set, lost image or not.
  if (missing && every_missing_input_due) {
    ++counts_.incomplete;
  } else if (!missing) {
    const std::optional<std::int64_t> limit = bound.bound_ns();
    if (frame.refused || (limit && stamp_spread_ns(frame.stamps) > *limit)) {
      ++counts_.mixed;
    }
  }
  erase(index);
}

void DroppedSetCounter::erase(std::size_t index)
{
  for (std::size_t i = index + 1; i < size_; ++i) {
    frames_[i - 1] = frames_[i];
  }
  --size_;
}

}  // namespace tavrinox_camera_convertor
