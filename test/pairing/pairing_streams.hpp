// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// Two cameras' images on their way to the node, from a seeded generator: lost, jittered and late
// as asked, each naming its camera's frame number.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <random>
#include <utility>
#include <vector>

#include "pairing/time_units.hpp"
#include "tavrinox_camera_convertor/pairing/camera_input.hpp"

namespace tavrinox_camera_convertor::test
{

/// Stamps as a camera driver gives them: far from zero.
inline constexpr std::int64_t kEpoch = 1700000000 * kSecond;

/// How one camera's frames are timed.
struct CameraTiming
{
  std::int64_t period_ns = 100 * kMillisecond;
  std::int64_t first_capture_ns = 0;   ///< on the timeline both cameras share
  std::int64_t clock_offset_ns = 0;    ///< added to every stamp: a clock that is elsewhere
};

/// Two cameras and what befalls their images on the way to the node.
struct Streams
{
  std::array<CameraTiming, 2> cameras;
  std::int64_t duration_ns = 20 * kSecond;
  double loss = 0.0;                 ///< the chance of each image to be lost
  std::int64_t stamp_jitter_ns = 0;  ///< each stamp is off its capture by up to this, either way
  std::int64_t max_delay_ns = 0;     ///< each image arrives up to this long after its capture
  std::uint32_t seed = 1;
  std::vector<std::pair<CameraInput, int>> lost;  ///< these images (input, frame) are lost too
  /// camera 2 sends nothing from this capture time until the next; both -1: it never stops
  std::array<std::int64_t, 2> camera_2_silent{-1, -1};
};

struct SentImage
{
  CameraInput input;
  int frame;  ///< the camera's own frame number
  std::int64_t stamp_ns;
  std::int64_t arrival_ns;
};

/// The images that reach the node, in order of arrival, and every frame each camera took.
struct Traffic
{
  std::vector<SentImage> images;
  std::array<int, 2> frames{};  ///< frames taken per camera, lost images or not
};

inline Traffic make_traffic(const Streams & streams)
{
  std::mt19937 random(streams.seed);
  std::bernoulli_distribution lost(streams.loss);
  std::uniform_int_distribution<std::int64_t> jitter(
    -streams.stamp_jitter_ns, streams.stamp_jitter_ns);
  std::uniform_int_distribution<std::int64_t> delay(0, streams.max_delay_ns);
  Traffic traffic;
  for (int camera = 0; camera < 2; ++camera) {
    const CameraTiming & timing = streams.cameras[camera];
    for (int frame = 0;; ++frame) {
      const std::int64_t capture = timing.first_capture_ns + frame * timing.period_ns;
      if (capture >= streams.duration_ns) {
        traffic.frames[camera] = frame;
        break;
      }
      for (const CameraInput input : {kCameraInputs[2 * camera], kCameraInputs[2 * camera + 1]}) {
        // Drawn whether lost or not, so that the loss does not shift the other draws.
        const std::int64_t stamp = kEpoch + capture + timing.clock_offset_ns + jitter(random);
        const std::int64_t arrival = capture + delay(random);
        const bool named = std::find(
          streams.lost.begin(), streams.lost.end(), std::pair<CameraInput, int>{input, frame}) !=
          streams.lost.end();
        const bool silent = camera == 1 && capture >= streams.camera_2_silent[0] &&
          capture < streams.camera_2_silent[1];
        if (!lost(random) && !named && !silent) {
          traffic.images.push_back({input, frame, stamp, arrival});
        }
      }
    }
  }
  std::stable_sort(
    traffic.images.begin(), traffic.images.end(), [](const SentImage & a, const SentImage & b) {
      return a.arrival_ns < b.arrival_ns;
    });
  return traffic;
}

}  // namespace tavrinox_camera_convertor::test
