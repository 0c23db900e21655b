// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "fault_plan.hpp"

#include <algorithm>
#include <random>
#include <stdexcept>

#include "clock_ns.hpp"

namespace tavrinox_camera_convertor
{

void apply_scenario(Faults & faults, double clock_offset_s, double silence_s)
{
  const std::string & scenario = faults.scenario;
  if (scenario == "loss") {
    faults.camera_2_offset = 0.0;
    faults.stamp_jitter_ns = 0;
    faults.arrival_jitter_ns = std::min<std::int64_t>(
      faults.arrival_jitter_ns,
      10 * kMillisecond);
  } else if (scenario == "free_running") {
    faults.loss = 0.0;
  } else if (scenario == "clock_offset") {
    faults.loss = 0.0;
    faults.warm_up_sets = 0;
    faults.stamp_jitter_ns = 0;
    faults.arrival_jitter_ns = 0;
    faults.clock_offset_ns = static_cast<std::int64_t>(clock_offset_s * 1e9);
  } else if (scenario == "silence") {
    faults.loss = 0.0;
    faults.stamp_jitter_ns = 0;
    faults.arrival_jitter_ns = 0;
    faults.silence_ns = static_cast<std::int64_t>(silence_s * 1e9);
  } else {
    throw std::invalid_argument(
            "fault benchmark: scenario must be loss, free_running, clock_offset or silence");
  }
}

Plan make_plan(const Faults & faults)
{
  const auto period = static_cast<std::int64_t>(1e9 / faults.rate_hz);
  // The first images leave a little after the start, so none is due before it.
  const std::int64_t lead = 100 * kMillisecond;
  Plan plan;
  plan.first_measured = faults.warm_up_sets;
  plan.end_measured = faults.warm_up_sets + faults.sets;
  plan.sets = plan.end_measured + faults.tail_sets;
  plan.sent.assign(plan.sets, 0x0f);
  if (faults.silence_ns > 0) {
    plan.silent_from_ns = lead + faults.warm_up_sets * period + 2 * kSecond;
    plan.silent_until_ns = plan.silent_from_ns + faults.silence_ns;
  }
  std::mt19937 random(faults.seed);
  std::bernoulli_distribution lost(faults.loss);
  std::uniform_int_distribution<std::int64_t> jitter(
    -faults.stamp_jitter_ns, faults.stamp_jitter_ns);
  std::uniform_int_distribution<std::int64_t> delay(0, faults.arrival_jitter_ns);
  for (std::uint32_t frame_set = 0; frame_set < plan.sets; ++frame_set) {
    const bool measured = frame_set >= plan.first_measured && frame_set < plan.end_measured;
    for (std::size_t input = 0; input < kInputs; ++input) {
      const bool camera_2 = input >= 2;
      const std::int64_t capture = lead + frame_set * period +
        (camera_2 ? static_cast<std::int64_t>(faults.camera_2_offset * period) : 0);
      PlannedImage image;
      image.set = frame_set;
      image.input = input;
      image.due_ns = capture + delay(random);
      image.stamp_ns = capture + jitter(random) + (camera_2 ? faults.clock_offset_ns : 0);
      // Drawn for every image, so that the other draws do not depend on the loss.
      const bool dropped = lost(random);
      const bool silent = camera_2 && capture >= plan.silent_from_ns &&
        capture < plan.silent_until_ns;
      if ((measured && dropped) || silent) {
        plan.sent[frame_set] &= static_cast<std::uint8_t>(~(1u << input));
        continue;
      }
      plan.images.push_back(image);
    }
  }
  std::stable_sort(
    plan.images.begin(), plan.images.end(), [](const PlannedImage & a, const PlannedImage & b) {
      return a.due_ns < b.due_ns;
    });
  return plan;
}

}  // namespace tavrinox_camera_convertor
