// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// The node's pairing without a middleware: InputPairing fed image by image, in order of arrival
// and at the arrival times, each image naming its camera's frame.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "pairing/pairing_streams.hpp"
#include "tavrinox_camera_convertor/pairing/camera_input.hpp"
#include "tavrinox_camera_convertor/pairing/input_pairing.hpp"
#include "tavrinox_camera_convertor/pairing/pairing_bound.hpp"
#include "tavrinox_camera_convertor/pairing/pairing_monitor.hpp"

namespace tavrinox_camera_convertor::test
{

/// One set the pairing gave: the frame each image came from.
struct GivenSet
{
  std::array<int, kCameraInputCount> frames{};
  InputStamps stamps{};
  bool learning = false;  ///< given while the learned bound was still unknown (unlimited)
};

/// The pairing as the node wires it. Every image names its camera's frame, so each set given
/// says whether it mixes two moments.
class NodePairing
{
public:
  explicit NodePairing(double max_set_interval_s)
  : pairing_(max_set_interval_s, [this](const auto & set) {on_set(set);}) {}

  /// @brief Hands over the images in their order, at their arrival times.
  void feed(const std::vector<SentImage> & images)
  {
    for (const SentImage & sent : images) {
      now_ = PairingMonitor::TimePoint(std::chrono::nanoseconds(sent.arrival_ns));
      pairing_.add(sent.input, sent.stamp_ns, now_, sent.frame);
    }
  }

  /// @brief As if no image came after the last: the node's poll releases what waits.
  void finish()
  {
    pairing_.poll(now_ + std::chrono::seconds(10));
  }

  /// @brief What the node would log at WARN on a poll `after` the last arrival.
  std::optional<std::string> poll_after(std::chrono::nanoseconds after)
  {
    return pairing_.monitor().poll(now_ + after);
  }

  const std::vector<GivenSet> & sets() const {return sets_;}
  const PairingMonitor & monitor() const {return pairing_.monitor();}

private:
  void on_set(const InputPairing<int>::Set & set)
  {
    GivenSet given;
    for (std::size_t k = 0; k < kCameraInputCount; ++k) {
      given.frames[k] = set[k].image;
      given.stamps[k] = set[k].stamp_ns;
    }
    const PairingBound & bound = pairing_.monitor().pairing_bound();
    given.learning = bound.mode() == PairingBound::Mode::learned && !bound.bound_ns();
    pairing_.monitor().on_set_processed(given.stamps, now_);
    sets_.push_back(given);
  }

  InputPairing<int> pairing_;
  PairingMonitor::TimePoint now_{};
  std::vector<GivenSet> sets_;
};

}  // namespace tavrinox_camera_convertor::test
