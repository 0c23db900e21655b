// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// How the subtopics are set up: their threads, QoS and the transport libraries' parameters.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include <rclcpp/rclcpp.hpp>

namespace tavrinox_camera_convertor::transport_setup
{

/// How far below the frames' threads the encoding threads run, in nice steps: about a tenth of
/// a core's share against them when both want the processor.
inline constexpr int kEncodingNice = 10;

/// @brief How many outputs are encoded at once: at least two, half the processors beyond that,
///        up to one per output.
std::size_t encoding_threads();

/// @brief Keep-last 1, reliable, volatile: the raw topics' QoS.
rmw_qos_profile_t output_qos();

/// @brief "camera_02.depth.converted_image": how the transport libraries name a topic's
///        parameters.
std::string parameter_base(const std::string & topic);

/**
 * @brief Sets the transports' `enable_pub_plugins` for `topic`: every declared one, or those the
 *        user gave, but never those in `left_out`, which the node sends itself. A second raw
 *        publisher would send every message twice.
 */
void enable_all_but(
  rclcpp::Node & node, const std::string & topic, const std::vector<std::string> & declared,
  const std::vector<std::string> & left_out);

/// @brief Declares `name` with `value` unless the user gave it, for a library that reads it later.
void default_parameter(rclcpp::Node & node, const std::string & name, std::int64_t value);

/// @brief `names` with `suffix` cut off where they end with it.
std::vector<std::string> without_suffix(std::vector<std::string> names, const std::string & suffix);

}  // namespace tavrinox_camera_convertor::transport_setup
