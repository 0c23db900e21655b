// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <utility>

#include "tavrinox_camera_convertor/pairing/approximate_pairing.hpp"
#include "tavrinox_camera_convertor/pairing/camera_input.hpp"
#include "tavrinox_camera_convertor/pairing/pairing_monitor.hpp"

namespace tavrinox_camera_convertor
{

/**
 * @brief The four inputs to sets, as the node pairs them: each image is first shown to the
 *        monitor, whose bound (learned from the images so far) the pairing then applies, before
 *        the image itself is paired.
 *
 * While the bound is still learned from an input's first intervals, which a lost image
 * lengthens, the images are only collected; they are paired once an input's period is known.
 * When no image has come for a while (kIdle, or two of the longest learned periods), the set the
 * pairing holds back for a later image is released: the last set of a burst, or of a camera that
 * was started for one picture, comes out too. The bound is checked once more on each set the
 * pairing gives, though the pairing enforces it already; a set refused there is counted as mixed.
 */
template<typename Image>
class InputPairing
{
public:
  using Pairing = ApproximatePairing<Image>;
  using Set = typename Pairing::Set;

  /**
   * @param max_set_interval_s the parameter max_set_interval (see PairingBound)
   * @param on_set called with each set, from within add()
   * @throws std::invalid_argument for a value PairingBound refuses
   */
  InputPairing(double max_set_interval_s, std::function<void(const Set &)> on_set)
  : monitor_(max_set_interval_s), on_set_(std::move(on_set)),
    pairing_(kQueueSize, [this](const Set & set) {on_pair(set);})
  {
    apply_bound();
  }

  InputPairing(const InputPairing &) = delete;
  InputPairing & operator=(const InputPairing &) = delete;

  /// @brief An image of `input` stamped `stamp_ns` arrived at `now`.
  void add(CameraInput input, std::int64_t stamp_ns, PairingMonitor::TimePoint now, Image image)
  {
    now_ = now;
    last_image_ = now;
    released_ = false;
    monitor_.on_image(input, stamp_ns, now);
    apply_bound();
    pairing_.add(input, stamp_ns, std::move(image));
  }

  /**
   * @brief To be called regularly (every few tens of milliseconds): releases the sets held back
   *        for later images once none has come for the idle time.
   */
  void poll(PairingMonitor::TimePoint now)
  {
    if (released_ || !last_image_ || now - *last_image_ < idle_time()) {
      return;
    }
    released_ = true;
    now_ = now;
    pairing_.release();
  }

  PairingMonitor & monitor() {return monitor_;}
  const PairingMonitor & monitor() const {return monitor_;}

private:
  /// Images kept per input while they wait for a set, as the node always kept.
  static constexpr std::size_t kQueueSize = 10;
  /// No image for this long (or two of the longest learned periods) ends a burst.
  static constexpr std::chrono::milliseconds kIdle{300};

  /// @brief Gives the pairing the monitor's bound when it changed, and whether it is final.
  void apply_bound()
  {
    const PairingBound & bound = monitor_.pairing_bound();
    const std::optional<std::int64_t> bound_ns = bound.bound_ns();
    // Learned from an input's first intervals only, the bound may be a whole period too wide.
    const bool provisional =
      bound.mode() == PairingBound::Mode::learned && !bound.fastest_input().has_value();
    if (bound_ns != applied_ || provisional != provisional_) {
      applied_ = bound_ns;
      provisional_ = provisional;
      pairing_.set_max_interval(bound_ns, provisional);
    }
  }

  std::chrono::nanoseconds idle_time() const
  {
    std::int64_t longest = 0;
    for (const CameraInput input : kCameraInputs) {
      longest = std::max(longest, monitor_.pairing_bound().period_ns(input).value_or(0));
    }
    return std::max<std::chrono::nanoseconds>(kIdle, std::chrono::nanoseconds(2 * longest));
  }

  void on_pair(const Set & set)
  {
    InputStamps stamps{};
    for (std::size_t i = 0; i < kCameraInputCount; ++i) {
      stamps[i] = set[i].stamp_ns;
    }
    if (!monitor_.pairing_bound().accepts(stamps)) {
      monitor_.on_set_mixed(stamps, now_);
      return;
    }
    on_set_(set);
  }

  PairingMonitor monitor_;
  std::function<void(const Set &)> on_set_;
  Pairing pairing_;
  std::optional<std::int64_t> applied_;
  bool provisional_ = false;
  PairingMonitor::TimePoint now_{};
  std::optional<PairingMonitor::TimePoint> last_image_;
  bool released_ = false;  ///< the sets of the current idle stretch have been released
};

}  // namespace tavrinox_camera_convertor
