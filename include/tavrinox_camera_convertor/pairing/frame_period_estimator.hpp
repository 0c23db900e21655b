// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace tavrinox_camera_convertor
{

/**
 * @brief Learns one input's frame period from the header stamps of its images.
 *
 * The period is taken low among the last intervals between consecutive stamps: a third of them
 * are at most as long. What cameras and drivers do now and then makes intervals longer, and so
 * leaves it alone: lost frames (an interval of two periods or more, even for most of the
 * intervals, and from the first ones on), a silent input or a clock jumping forward (one long
 * interval), a driver restarting its clock (a stamp stepping back: intervals that are not
 * positive are not counted). A camera that changes its rate is followed within kIntervals
 * frames: sooner when it speeds up. A plain value; no allocation.
 */
class FramePeriodEstimator
{
public:
  /// How many of the latest intervals the period is taken from.
  static constexpr std::size_t kIntervals = 15;
  /// How many intervals it takes before a period is given.
  static constexpr std::size_t kIntervalsToKnow = 3;

  /// @brief Takes the stamp of the input's next image, in nanoseconds.
  void observe(std::int64_t stamp_ns);

  /// @brief The learned period in nanoseconds; none before kIntervalsToKnow intervals.
  std::optional<std::int64_t> period_ns() const {return period_;}

  /**
   * @brief The shortest of the intervals held, from the first one on; none before it. Before
   *        the period is known it is the best there is, and never shorter than the period but
   *        for the stamps' jitter.
   */
  std::optional<std::int64_t> shortest_interval_ns() const;

private:
  /// @brief The period from the intervals held.
  std::optional<std::int64_t> estimate() const;

  std::array<std::int64_t, kIntervals> intervals_{};
  std::size_t count_ = 0;  ///< intervals held, up to kIntervals
  std::size_t next_ = 0;  ///< where the next interval goes once all are held
  std::optional<std::int64_t> last_stamp_;
  std::optional<std::int64_t> period_;  ///< kept, since it is asked for far more than it changes
};

}  // namespace tavrinox_camera_convertor
