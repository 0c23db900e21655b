// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// Two cameras' image streams as stamps and arrival times, from a seeded random generator, and a
// synchronizer that never errs, for the tests of pairing and of its monitoring.
#pragma once

#include <algorithm>
#include <cstdint>
#include <optional>
#include <random>
#include <tuple>
#include <vector>

#include "tavrinox_camera_convertor/camera_input.hpp"

namespace tavrinox_camera_convertor::test
{

inline constexpr std::int64_t kMillisecond = 1000000;
inline constexpr std::int64_t kSecond = 1000 * kMillisecond;
/// From capture to the node: the same for every image, so images arrive in capture order.
inline constexpr std::int64_t kLatency = 20 * kMillisecond;

/// How one camera's frames are timed, on a timeline shared by both cameras.
struct CameraTiming
{
  std::int64_t period_ns = 100 * kMillisecond;
  std::int64_t first_capture_ns = 0;
  std::int64_t depth_after_colour_ns = 0;
  std::int64_t clock_offset_ns = 0;  ///< added to every stamp: a clock that is elsewhere
  std::int64_t jitter_ns = 0;  ///< every stamp is off its capture time by up to this
  double loss = 0.0;  ///< the chance of each image to be lost, on its own
};

struct SyntheticImage
{
  CameraInput input;
  int frame;  ///< the camera's frame number
  std::int64_t arrival_ns;
  std::int64_t stamp_ns;
};

/// @brief Frames [first, end) of camera 1 or 2, colour then depth of each; lost ones left out.
inline std::vector<SyntheticImage> camera_images(
  int camera, const CameraTiming & timing, int first, int end, std::mt19937 & random)
{
  std::uniform_int_distribution<std::int64_t> jitter(-timing.jitter_ns, timing.jitter_ns);
  std::bernoulli_distribution lost(timing.loss);
  const CameraInput colour = camera == 1 ? CameraInput::rgb_1 : CameraInput::rgb_2;
  const CameraInput depth = camera == 1 ? CameraInput::depth_1 : CameraInput::depth_2;
  std::vector<SyntheticImage> images;
  for (int frame = first; frame < end; ++frame) {
    const std::int64_t capture = timing.first_capture_ns + frame * timing.period_ns;
    for (const auto & [input, delay] : {
        std::tuple{colour, std::int64_t{0}}, std::tuple{depth, timing.depth_after_colour_ns}})
    {
      // Drawn for every image, so a stream's stamps do not depend on what is lost.
      const std::int64_t stamp = capture + delay + timing.clock_offset_ns + jitter(random);
      if (!lost(random)) {
        images.push_back({input, frame, capture + delay + kLatency, stamp});
      }
    }
  }
  return images;
}

/// @brief Both lists as one, in order of arrival (input order among images arriving together).
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

/**
 * @brief A synchronizer that never errs: camera 2's frame k with camera 1's frame ratio * k,
 *        given as soon as the last of the four arrives. Camera 1's other frames have no set.
 */
class IdealPairing
{
public:
  explicit IdealPairing(int ratio = 1)
  : ratio_(ratio) {}

  /// @brief Takes an image; the set's stamps once it completes one.
  std::optional<InputStamps> add(const SyntheticImage & image)
  {
    const bool camera_1 = camera_of(image.input) == 1;
    if (camera_1 && image.frame % ratio_ != 0) {
      return std::nullopt;
    }
    const std::size_t set = static_cast<std::size_t>(camera_1 ? image.frame / ratio_ : image.frame);
    if (set >= stamps_.size()) {
      stamps_.resize(set + 1);
      present_.resize(set + 1);
    }
    stamps_[set][index_of(image.input)] = image.stamp_ns;
    present_[set] |= static_cast<std::uint8_t>(1u << index_of(image.input));
    if (present_[set] != 0x0f) {
      return std::nullopt;
    }
    return stamps_[set];
  }

private:
  int ratio_;
  std::vector<InputStamps> stamps_;
  std::vector<std::uint8_t> present_;
};

}  // namespace tavrinox_camera_convertor::test
