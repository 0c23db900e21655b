// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "tavrinox_camera_convertor/pairing/camera_input.hpp"
#include "tavrinox_camera_convertor/pairing/dropped_set_counter.hpp"
#include "tavrinox_camera_convertor/pairing/health_summary.hpp"
#include "tavrinox_camera_convertor/pairing/pairing_bound.hpp"

namespace tavrinox_camera_convertor
{

/**
 * @brief Watches the inputs and the pairing, and says why sets stop coming.
 *
 * When images arrive but no set is paired, the node would otherwise go silent. Two seconds into
 * such a stall poll() gives one warning that names what the user can act on (an input that sends
 * nothing, cameras whose clocks disagree, stamps further apart than the bound), then at most one
 * every kWarningRepeat while the stall lasts, each time with the cause as it is then. The first
 * set processed after a warning gives one line saying sets are paired again. While all is well
 * nothing is said, and nothing either while no image has ever arrived or none for two seconds:
 * cameras that are off are waited for.
 *
 * It holds the pairing bound, so that the bound learns from every arriving image, and counts
 * what diagnostics report (summary()). Times come from the caller (a steady clock), so it is
 * driven deterministically. A plain value for one thread: no locks, no thread, and no
 * allocation per image or set beyond its fixed-size members (texts are made only when said).
 */
class PairingMonitor
{
public:
  using TimePoint = std::chrono::steady_clock::time_point;

  /// Without a set for this long while images arrive, the pairing has stalled.
  static constexpr std::chrono::seconds kStall{2};
  /// Least time between two warnings about the same stall.
  static constexpr std::chrono::seconds kWarningRepeat{10};
  /// An input is silent when its last image is older than this or three of its periods.
  static constexpr std::chrono::milliseconds kLeastSilence{500};
  /// Stamps of each input remembered to find the closest set they allow.
  static constexpr std::size_t kStampHistory = 32;

  /**
   * @brief Takes the parameter max_set_interval (see PairingBound).
   * @throws std::invalid_argument for a value PairingBound refuses
   */
  explicit PairingMonitor(double max_set_interval_s = -1.0);

  /// @brief An image of `input` with header stamp `stamp_ns` arrived at `now`.
  void on_image(CameraInput input, std::int64_t stamp_ns, TimePoint now);

  /**
   * @brief A set with these stamps was paired and processed at `now`.
   * @return the line to log at INFO when it ends a stall that was warned about
   */
  std::optional<std::string> on_set_processed(const InputStamps & stamps, TimePoint now);

  /// @brief The synchronizer gave a set with these stamps that the bound refused.
  void on_set_mixed(const InputStamps & stamps, TimePoint now);

  /**
   * @brief A paired set was rejected as bad input (the pipeline's reason, e.g. an encoding).
   *
   * Pairing works then, so the stall clock restarts; the node logs the reason itself.
   */
  void on_frame_rejected(const std::string & reason, TimePoint now);

  /**
   * @brief Paired sets wait for something beside the pairing (a camera info, a transform):
   *        `cause` says what, and is what a stall warning names; empty when nothing waits.
   */
  void set_waiting_for(std::string cause);

  /**
   * @brief To be called regularly (on a timer, about once a second or more often).
   * @return the line to log at WARN, when one is due
   */
  std::optional<std::string> poll(TimePoint now);

  /**
   * @brief The status for diagnostics, asked about once a second; rates and "rejected since the
   *        last summary" are over the time since the previous call.
   */
  HealthSummary summary(TimePoint now);

  /// @brief The bound sets are checked against, with the periods it learned.
  const PairingBound & pairing_bound() const {return bound_;}

  /// @brief The sets dropped so far.
  const DroppedSetCounts & dropped_sets() const {return dropped_.counts();}

private:
  struct InputState
  {
    std::optional<TimePoint> last_arrival;
    std::array<std::int64_t, kStampHistory> stamps{};  ///< a ring of the latest stamps
    std::size_t stamp_count = 0;
    std::size_t next_stamp = 0;
    std::int64_t latest_stamp = 0;  ///< valid once last_arrival is set
    std::uint64_t arrivals_in_window = 0;
  };

  /// @brief Whether images arrive but no set has been paired for kStall.
  bool stalled(TimePoint now) const;

  /// @brief Why no set is paired, in the words of the warning.
  std::string stall_cause(TimePoint now) const;

  /// @brief "X: no image for N s" for each silent input, joined by "; "; empty if none is.
  std::string silent_inputs(TimePoint now) const;

  /// @brief Stamps of inputs or cameras too far apart to ever pair; empty if none are.
  std::string distant_stamps() const;

  /// @brief The closest set the remembered stamps allow, if it is wider than the bound.
  std::string closest_set_beyond_bound() const;

  /// @brief When the current stretch without a processed set began: the last one, else the
  ///        first image (else `now`).
  TimePoint without_set_since(TimePoint now) const;

  /// @brief As without_set_since(), but a set rejected as bad input counts as paired too.
  TimePoint without_pairing_since(TimePoint now) const;

  /// @brief When the latest image of any input arrived; none before the first.
  std::optional<TimePoint> last_arrival_of_any() const;

  /// @brief How long `input` may send nothing before it counts as silent.
  std::chrono::nanoseconds silence_limit(CameraInput input) const;

  PairingBound bound_;
  DroppedSetCounter dropped_;
  std::array<InputState, kCameraInputCount> inputs_{};
  std::optional<TimePoint> first_image_;
  std::optional<TimePoint> last_processed_;
  std::optional<TimePoint> last_paired_;  ///< processed or rejected as bad input
  bool warned_ = false;  ///< a warning was given since the last processed set
  TimePoint last_warning_{};
  std::optional<TimePoint> window_start_;
  std::uint64_t sets_in_window_ = 0;
  std::uint64_t rejected_total_ = 0;
  bool rejected_in_window_ = false;
  std::string last_rejection_;
  std::string waiting_for_;
};

}  // namespace tavrinox_camera_convertor
