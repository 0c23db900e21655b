// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// Two cameras' images as stamps and arrival times from a seeded generator, and a synchronizer
// that never errs, for the tests of pairing and of its monitoring.
#pragma once

#include <algorithm>
#include <cstdint>
#include <optional>
#include <random>
#include <tuple>
#include <utility>
#include <vector>

#include "tavrinox_camera_convertor/pairing/camera_input.hpp"

namespace tavrinox_camera_convertor::test
{

inline constexpr std::int64_t kMillisecond = 1000000;
inline constexpr std::int64_t kSecond = 1000 * kMillisecond;

/// How one camera's frames are timed, on a timeline both cameras share.
struct CameraTiming
{
  std::int64_t period_ns = 100 * kMillisecond;
  std::int64_t first_capture_ns = 0;
  std::int64_t depth_after_colour_ns = 0;
  std::int64_t clock_offset_ns = 0;  ///< added to every stamp: a clock that is elsewhere
  std::int64_t jitter_ns = 0;  ///< every stamp is off its capture time by up to this
  double loss = 0.0;  ///< the chance of each image to be lost
};

struct SyntheticImage
{
  CameraInput input;
  int frame;  ///< the camera's own frame number
  std::int64_t arrival_ns;  ///< 20 ms after capture for every image
  std::int64_t stamp_ns;
};

/// @brief Frames [first, end) of camera 1 or 2, colour then depth of each; lost ones left out.
inline std::vector<SyntheticImage> camera_images(
  int camera, const CameraTiming & timing, int first, int end, std::mt19937 & random)
{
  std::uniform_int_distribution<std::int64_t> jitter(-timing.jitter_ns, timing.jitter_ns);
  std::bernoulli_distribution lost(timing.loss);
  std::vector<SyntheticImage> images;
  for (int frame = first; frame < end; ++frame) {
    for (const bool depth : {false, true}) {
      const std::int64_t capture = timing.first_capture_ns + frame * timing.period_ns +
        (depth ? timing.depth_after_colour_ns : 0);
      const CameraInput input = kCameraInputs[2 * (camera - 1) + (depth ? 1 : 0)];
      const std::int64_t stamp = capture + timing.clock_offset_ns + jitter(random);
      if (!lost(random)) {
        images.push_back({input, frame, capture + 20 * kMillisecond, stamp});
      }
    }
  }
  return images;
}

/// @brief Both lists as one in order of arrival, in input order among images arriving together.
inline std::vector<SyntheticImage> by_arrival(
  std::vector<SyntheticImage> images, const std::vector<SyntheticImage> & more)
{
  images.insert(images.end(), more.begin(), more.end());
  std::stable_sort(
    images.begin(), images.end(), [](const SyntheticImage & a, const SyntheticImage & b) {
      return std::tie(a.arrival_ns, a.input) < std::tie(b.arrival_ns, b.input);
    });
  return images;
}

/// A synchronizer that never errs: camera 2's frame k with camera 1's frame ratio * k, given
/// when the last of the four arrives. Camera 1's other frames make no set.
class IdealPairing
{
public:
  explicit IdealPairing(int ratio = 1)
  : ratio_(ratio) {}

  /// @brief Takes an image; the set's stamps if it completes one.
  std::optional<InputStamps> add(const SyntheticImage & image)
  {
    const bool camera_1 = camera_of(image.input) == 1;
    if (camera_1 && image.frame % ratio_ != 0) {
      return std::nullopt;
    }
    const auto set = static_cast<std::size_t>(camera_1 ? image.frame / ratio_ : image.frame);
    sets_.resize(std::max(sets_.size(), set + 1));
    sets_[set].first[index_of(image.input)] = image.stamp_ns;
    sets_[set].second |= 1u << index_of(image.input);
    return sets_[set].second == 0x0fu ? std::optional<InputStamps>(sets_[set].first) : std::nullopt;
  }

private:
  int ratio_;
  std::vector<std::pair<InputStamps, unsigned>> sets_;  ///< stamps, and a bit per input present
};

}  // namespace tavrinox_camera_convertor::test
