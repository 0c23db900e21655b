// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// What came of feeding seeded streams to the node's pairing, told from the frames each given set
// names: sets that mix two moments, complete frames delivered or not, frames delivered twice.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "pairing/node_pairing.hpp"
#include "pairing/pairing_streams.hpp"

namespace tavrinox_camera_convertor::test
{

/// Which frame of camera 2 belongs with which of camera 1, and how the delivered sets fared.
class Moments
{
public:
  Moments(const Streams & streams, const Traffic & traffic)
  : streams_(streams), traffic_(traffic)
  {
    for (const SentImage & image : traffic.images) {
      ++present_[{camera_of(image.input), image.frame}];
    }
  }

  /// @brief The frame of camera 2 taken nearest to camera 1's `frame`, if within half the
  ///        shorter period; one moment then, whatever the stamps say.
  std::optional<int> partner(int frame_1) const
  {
    const CameraTiming & one = streams_.cameras[0];
    const CameraTiming & two = streams_.cameras[1];
    const std::int64_t capture = one.first_capture_ns + frame_1 * one.period_ns;
    const std::int64_t nearest = (capture - two.first_capture_ns + two.period_ns / 2) /
      two.period_ns;
    const std::int64_t distance =
      std::abs(two.first_capture_ns + nearest * two.period_ns - capture);
    if (nearest < 0 || nearest >= traffic_.frames[1] ||
      2 * distance > std::min(one.period_ns, two.period_ns))
    {
      return std::nullopt;
    }
    return static_cast<int>(nearest);
  }

  /// @brief Whether a set's four images were taken at one moment.
  bool one_moment(const GivenSet & set) const
  {
    return set.frames[0] == set.frames[1] && set.frames[2] == set.frames[3] &&
           partner(set.frames[0]) == set.frames[2];
  }

  /// @brief Whether all four images of camera 1's `frame` and its partner reached the node.
  bool complete(int frame_1) const
  {
    const std::optional<int> frame_2 = partner(frame_1);
    return frame_2 && present(1, frame_1) == 2 && present(2, *frame_2) == 2;
  }

  /// @brief Camera 1's frames that have a partner; unless `with_last`, the last is left out, as
  ///        its set waits for a later image or the end of the stream.
  std::vector<int> paired_frames(bool with_last = false) const
  {
    std::vector<int> frames;
    for (int frame = 0; frame < traffic_.frames[0]; ++frame) {
      if (partner(frame)) {
        frames.push_back(frame);
      }
    }
    if (!frames.empty() && !with_last) {
      frames.pop_back();
    }
    return frames;
  }

private:
  int present(int camera, int frame) const
  {
    const auto found = present_.find({camera, frame});
    return found == present_.end() ? 0 : found->second;
  }

  Streams streams_;
  Traffic traffic_;
  std::map<std::tuple<int, int>, int> present_;
};

/// What came of a run, counted from the frame tags.
struct Outcome
{
  int delivered = 0;
  int delivered_mixed = 0;  ///< once the bound is known
  int mixed_while_learning = 0;
  int complete_frames = 0;
  int complete_frames_delivered = 0;
  int frames_delivered_twice = 0;
  int frames_taken = 0;  ///< by camera 1
  std::vector<std::string> mixed_examples;
};

/**
 * @brief Feeds `streams` to `pairing` and tells the delivered sets apart by their frames.
 * @param to_the_end the stream ends after its last image, so its last set counts too
 */
inline Outcome run(const Streams & streams, NodePairing & pairing, bool to_the_end = false)
{
  const Traffic traffic = make_traffic(streams);
  pairing.feed(traffic.images);
  if (to_the_end) {
    pairing.finish();
  }
  const Moments moments(streams, traffic);

  Outcome outcome;
  outcome.frames_taken = traffic.frames[0];
  std::map<int, int> deliveries;  // camera 1's frame, sets delivered with it
  for (const GivenSet & set : pairing.sets()) {
    ++outcome.delivered;
    if (!moments.one_moment(set)) {
      ++(set.learning ? outcome.mixed_while_learning : outcome.delivered_mixed);
      if (outcome.mixed_examples.size() < 3) {
        outcome.mixed_examples.push_back(
          "frames " + std::to_string(set.frames[0]) + " " + std::to_string(set.frames[1]) + " " +
          std::to_string(set.frames[2]) + " " + std::to_string(set.frames[3]));
      }
      continue;
    }
    ++deliveries[set.frames[0]];
  }
  for (const int frame : moments.paired_frames(to_the_end)) {
    if (moments.complete(frame)) {
      ++outcome.complete_frames;
      outcome.complete_frames_delivered += deliveries.count(frame) > 0;
    }
  }
  for (const auto & [frame, count] : deliveries) {
    outcome.frames_delivered_twice += count > 1;
  }
  return outcome;
}

inline Outcome run(const Streams & streams, double max_set_interval_s)
{
  NodePairing pairing(max_set_interval_s);
  return run(streams, pairing);
}

inline std::string describe(const Outcome & outcome)
{
  std::string text = std::to_string(outcome.delivered) + " sets delivered, " +
    std::to_string(outcome.delivered_mixed) + " of them mixed (and " +
    std::to_string(outcome.mixed_while_learning) + " before the bound was known); " +
    std::to_string(outcome.complete_frames_delivered) + " of " +
    std::to_string(outcome.complete_frames) + " complete frames delivered";
  for (const std::string & example : outcome.mixed_examples) {
    text += "; mixed: " + example;
  }
  return text;
}

}  // namespace tavrinox_camera_convertor::test
