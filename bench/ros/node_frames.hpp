// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// The converter's frames as the fault benchmark sees them in its outputs, and what they say of
// the sets the stand-in cameras sent: published whole from one set, partial, or mixed.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "fault_plan.hpp"

namespace tavrinox_camera_convertor
{

/// One output as it arrived: the node's stamp, its kind and the set its tag names.
struct ReceivedOutput
{
  std::int64_t stamp_ns;
  std::size_t kind;
  std::optional<std::uint32_t> set;
};

/// One frame of the node: the set each of its five outputs names, if that output came.
struct NodeFrame
{
  std::array<std::optional<std::uint32_t>, 5> sets;
  std::array<bool, 5> present{};

  bool whole() const {return std::all_of(present.begin(), present.end(), [](bool p) {return p;});}

  /// @brief The one set all outputs that came name; none if they disagree or one names none.
  std::optional<std::uint32_t> single_set() const;
};

/// @brief The outputs grouped into the node's frames. Each output is stamped from the node's
///        clock as it is made, cam1 cloud first and converted cloud last, so in stamp order a
///        frame ends where the order of the kinds starts again, whatever sets they name.
std::vector<NodeFrame> group_frames(std::vector<ReceivedOutput> outputs);

/// How the node's frames name the sets: published whole from one set, or mixed.
struct FrameTally
{
  std::vector<bool> published;  ///< per set: all five outputs of one frame, from that set only
  std::uint32_t frames = 0;
  std::uint32_t mixed_visible = 0;  ///< frames whose outputs name different sets (or none)
  std::uint32_t mixed_hidden = 0;  ///< frames of one set that lacked an image: it came from
                                   ///< elsewhere (camera 2's colour, which no output shows)
  std::uint32_t partial = 0;  ///< frames of one set with outputs missing
};

/// @brief The frames of `outputs` counted against what `plan` sent.
FrameTally tally_frames(const std::vector<ReceivedOutput> & outputs, const Plan & plan);

}  // namespace tavrinox_camera_convertor
