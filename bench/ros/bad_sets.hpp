// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// The bad frame sets a soak mixes in among the good ones, each like one the node's tests send,
// and what the node should still publish of each.
#pragma once

#include <cstdint>
#include <optional>

#include <sensor_msgs/msg/image.hpp>

#include "tavrinox_camera_convertor/pipeline/output_set.hpp"

namespace tavrinox_camera_convertor
{

/// The kinds of bad frame set.
enum class BadSet
{
  depth_encoding,      ///< camera 2's depth in "8UC1": the frame is refused
  short_depth,         ///< camera 1's depth with less data than its header says: refused
  short_depth_step,    ///< camera 1's depth step shorter than a row: refused
  colour_encoding,     ///< camera 1's colour in "32SC4": the colour conversion fails
  short_colour,        ///< camera 1's colour with less data than its header says: fails too
};

/**
 * @brief The kind of bad set `set` is when every `bad_every`th set is a bad one (0: none is),
 *        the kinds taking turns.
 */
std::optional<BadSet> bad_kind(std::uint32_t set, std::uint32_t bad_every);

/// @brief What the node still publishes of a bad set of `kind`.
OutputSet outputs_of_bad_set(BadSet kind);

/// @brief Spoils a copy of a good set as `kind` says.
void spoil(
  BadSet kind, sensor_msgs::msg::Image & rgb_1, sensor_msgs::msg::Image & depth_1,
  sensor_msgs::msg::Image & depth_2);

}  // namespace tavrinox_camera_convertor
