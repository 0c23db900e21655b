// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// The converter's own account of its inputs and its pairing, from its diagnostics, which tells a
// converter that stopped from images that stopped reaching it.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include <diagnostic_msgs/msg/diagnostic_array.hpp>

namespace tavrinox_camera_convertor
{

/// The figures of the converter's diagnostics kept here: its four inputs' rates, in the
/// synchronizer's order, and the sets it processed per second.
inline constexpr std::array<const char *, 5> kRateKeys = {
  "camera 1 colour rate (Hz)", "camera 1 depth rate (Hz)", "camera 2 colour rate (Hz)",
  "camera 2 depth rate (Hz)", "sets processed (per second)"};

/// One account of the converter.
struct NodeStatus
{
  std::int64_t time_ns;  ///< system time of arrival
  std::array<double, kRateKeys.size()> rates;
};

/// @brief The converter's pairing and conversion statuses in `array`, timed as they are read.
std::vector<NodeStatus> node_statuses(const diagnostic_msgs::msg::DiagnosticArray & array);

}  // namespace tavrinox_camera_convertor
