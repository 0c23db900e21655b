// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "node_frames.hpp"

#include <tuple>

namespace tavrinox_camera_convertor
{

std::optional<std::uint32_t> NodeFrame::single_set() const
{
  std::optional<std::uint32_t> found;
  for (std::size_t k = 0; k < sets.size(); ++k) {
    if (!present[k]) {
      continue;
    }
    if (!sets[k] || (found && *found != *sets[k])) {
      return std::nullopt;
    }
    found = sets[k];
  }
  return found;
}

std::vector<NodeFrame> group_frames(std::vector<ReceivedOutput> outputs)
{
  std::sort(
    outputs.begin(), outputs.end(), [](const ReceivedOutput & a, const ReceivedOutput & b) {
      return std::tie(a.stamp_ns, a.kind) < std::tie(b.stamp_ns, b.kind);
    });
  std::vector<NodeFrame> frames;
  std::optional<std::size_t> previous;
  for (const ReceivedOutput & output : outputs) {
    if (!previous || output.kind <= *previous) {
      frames.emplace_back();
    }
    frames.back().present[output.kind] = true;
    frames.back().sets[output.kind] = output.set;
    previous = output.kind;
  }
  return frames;
}

FrameTally tally_frames(const std::vector<ReceivedOutput> & outputs, const Plan & plan)
{
  FrameTally tally;
  tally.published.assign(plan.sets, false);
  for (const NodeFrame & frame : group_frames(outputs)) {
    ++tally.frames;
    const std::optional<std::uint32_t> set = frame.single_set();
    if (!set || *set >= plan.sets) {
      ++tally.mixed_visible;
    } else if (plan.sent[*set] != 0x0f) {
      ++tally.mixed_hidden;
    } else if (!frame.whole()) {
      ++tally.partial;
    } else {
      tally.published[*set] = true;
    }
  }
  return tally;
}

}  // namespace tavrinox_camera_convertor
