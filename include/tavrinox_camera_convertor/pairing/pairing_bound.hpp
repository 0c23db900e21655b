// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "tavrinox_camera_convertor/pairing/camera_input.hpp"
#include "tavrinox_camera_convertor/pairing/frame_period_estimator.hpp"

namespace tavrinox_camera_convertor
{

/// @brief |a - b| in nanoseconds, saturated at the int64_t maximum: stamps may jump anywhere.
std::int64_t stamp_distance_ns(std::int64_t a, std::int64_t b);

/// @brief The latest minus the earliest of a set's stamps, saturated as stamp_distance_ns().
std::int64_t stamp_spread_ns(const InputStamps & stamps);

/**
 * @brief How far apart a set's four stamps may be and still count as one frame.
 *
 * Without a bound the approximate-time policy pairs a frame whose image was lost with the
 * neighbouring frame's image, and the set mixes two moments one frame period apart. Half a
 * frame period refuses that and still takes every true set: one camera's colour and depth a few
 * milliseconds apart, and two free-running cameras whose frames are offset by less than half a
 * period. With cameras at different rates the shortest period counts, which still pairs every
 * frame of the slower camera with the faster camera's nearest one.
 *
 * The bound comes from the parameter max_set_interval, in seconds:
 * - negative (the default, -1): learned, half the shortest frame period learned from the
 *   inputs' stamps. Until one input's period is known (its fourth image), half the shortest
 *   interval yet between two images of one input: a lost image only lengthens an interval, so
 *   this refuses a set one frame apart as well. Before any input's second image, unlimited;
 *   there is no neighbouring frame to borrow from yet;
 * - 0: off, no bound at all (the synchronizer's own behaviour);
 * - positive: fixed.
 *
 * Periods are learned in every mode, for diagnostics. A plain value; no allocation per image.
 */
class PairingBound
{
public:
  /// Where the bound comes from.
  enum class Mode : std::uint8_t
  {
    learned,
    off,
    fixed,
  };

  /// The node parameter that sets the bound, named in texts that point users to it.
  static constexpr const char * kParameter = "max_set_interval";

  /**
   * @brief Takes the parameter's value.
   * @param max_set_interval_s seconds: negative learned, 0 off, positive fixed
   * @throws std::invalid_argument for NaN, an infinity or more seconds than the stamps can hold,
   *         with a text that names the parameter and its accepted values
   */
  explicit PairingBound(double max_set_interval_s = -1.0);

  /// @brief Where the bound comes from.
  Mode mode() const {return mode_;}

  /// @brief Takes the stamp of an image of `input` as it arrives, to learn the input's period.
  void observe(CameraInput input, std::int64_t stamp_ns);

  /// @brief The largest spread a set may have, in nanoseconds; none for unlimited.
  std::optional<std::int64_t> bound_ns() const;

  /**
   * @brief Whether a set with these stamps counts as one frame: its spread is at most the bound
   *        (as the synchronizer's max interval duration refuses only a larger one).
   */
  bool accepts(const InputStamps & stamps) const;

  /// @brief The period learned for `input`, in nanoseconds; none while unknown.
  std::optional<std::int64_t> period_ns(CameraInput input) const;

  /// @brief The input with the shortest learned period (the first in input order on a tie).
  std::optional<CameraInput> fastest_input() const;

  /// @brief The input with the shortest interval yet between two of its images, if any.
  std::optional<CameraInput> input_with_shortest_interval() const;

  /**
   * @brief The bound for logs and diagnostics: "off", "fixed: 20.0 ms",
   *        "learned: 50.0 ms (half of camera 1 depth's 100.0 ms period)",
   *        "learned so far: 50.0 ms (half of camera 1 depth's shortest interval yet, 100.0 ms)"
   *        or "learned: unlimited until an input's second image".
   */
  std::string description() const;

private:
  Mode mode_ = Mode::learned;
  std::int64_t fixed_ns_ = 0;
  std::array<FramePeriodEstimator, kCameraInputCount> periods_{};
};

}  // namespace tavrinox_camera_convertor
