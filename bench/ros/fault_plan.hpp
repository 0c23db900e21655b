// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// What the fault benchmark's stand-in cameras send and when: the images of a run with its
// faults injected (lost images, free-running cameras with jitter, a camera clock far off, a
// camera gone silent).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tavrinox_camera_convertor
{

/// Inputs in the synchronizer's order, as the images are indexed here.
inline constexpr std::size_t kInputs = 4;

/// One image of a run: when it is sent and what it says.
struct PlannedImage
{
  std::int64_t due_ns = 0;    ///< after the stream's start
  std::int64_t stamp_ns = 0;  ///< after the stream's start, on the camera's own clock
  std::uint32_t set = 0;
  std::size_t input = 0;
};

/// A whole run: its images in the order they are sent, and which sets it counts.
struct Plan
{
  std::vector<PlannedImage> images;
  std::uint32_t sets = 0;  ///< planned, 0 .. sets - 1
  std::uint32_t first_measured = 0;
  std::uint32_t end_measured = 0;
  std::vector<std::uint8_t> sent;  ///< per set, a bit per input that is sent
  /// When camera 2 falls silent and comes back, after the start; for `silence`.
  std::int64_t silent_from_ns = -1;
  std::int64_t silent_until_ns = -1;
};

/// How the stand-in cameras run and what befalls their images.
struct Faults
{
  std::string scenario;
  double rate_hz = 10.0;
  std::uint32_t warm_up_sets = 20;
  std::uint32_t sets = 300;
  std::uint32_t tail_sets = 3;
  double loss = 0.0;
  double camera_2_offset = 0.0;      ///< of the period
  std::int64_t stamp_jitter_ns = 0;  ///< either way
  std::int64_t arrival_jitter_ns = 0;  ///< up to, after capture
  std::int64_t clock_offset_ns = 0;  ///< of camera 2's stamps
  std::int64_t silence_ns = 0;       ///< of camera 2, from 2 s into the measured sets on
  unsigned seed = 1;
};

/**
 * @brief Keeps of `faults` what its scenario injects and clears the rest: "loss" (images lost,
 *        arrival jitter up to 10 ms), "free_running" (offset and jitter), "clock_offset"
 *        (camera 2's stamps `clock_offset_s` ahead from the first image on) or "silence"
 *        (camera 2 silent for `silence_s`).
 * @throws std::invalid_argument for another scenario
 */
void apply_scenario(Faults & faults, double clock_offset_s, double silence_s);

/// @brief The images of a run with `faults`, in the order they are due.
Plan make_plan(const Faults & faults);

}  // namespace tavrinox_camera_convertor
