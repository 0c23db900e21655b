// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "tavrinox_camera_convertor/ros/image_synchronizer.hpp"

#include <limits>

namespace tavrinox_camera_convertor
{

void apply_pairing_bound(
  const PairingBound & bound, std::optional<std::int64_t> & applied, ImageSynchronizer & sync)
{
  const std::optional<std::int64_t> wanted = bound.bound_ns();
  if (wanted == applied) {
    return;
  }
  sync.setMaxIntervalDuration(
    wanted ? rclcpp::Duration::from_nanoseconds(*wanted) :
    rclcpp::Duration(std::numeric_limits<std::int32_t>::max(), 999999999));
  applied = wanted;
}

}  // namespace tavrinox_camera_convertor
