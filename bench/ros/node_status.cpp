// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "node_status.hpp"

#include <algorithm>
#include <cstddef>
#include <cstdlib>

#include "clock_ns.hpp"

namespace tavrinox_camera_convertor
{

std::vector<NodeStatus> node_statuses(const diagnostic_msgs::msg::DiagnosticArray & array)
{
  std::vector<NodeStatus> statuses;
  for (const auto & status : array.status) {
    if (status.name != "Morvanteq: pairing and conversion") {
      continue;
    }
    NodeStatus kept{system_ns(), {}};
    for (const auto & value : status.values) {
      const auto found = std::find(kRateKeys.begin(), kRateKeys.end(), value.key);
      if (found != kRateKeys.end()) {
        kept.rates[static_cast<std::size_t>(found - kRateKeys.begin())] =
          std::strtod(value.value.c_str(), nullptr);
      }
    }
    statuses.push_back(kept);
  }
  return statuses;
}

}  // namespace tavrinox_camera_convertor
