// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "bad_sets.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

constexpr std::uint32_t kBadSetKinds = 5;

}  // namespace

std::optional<BadSet> bad_kind(std::uint32_t set, std::uint32_t bad_every)
{
  if (bad_every == 0 || set % bad_every != bad_every - 1) {
    return std::nullopt;
  }
  return static_cast<BadSet>((set / bad_every) % kBadSetKinds);
}

OutputSet outputs_of_bad_set(BadSet kind)
{
  switch (kind) {
    case BadSet::colour_encoding:
    case BadSet::short_colour:
      return OutputSet::none().with(OutputKind::cam1_cloud).with(OutputKind::cam2_cloud).with(
        OutputKind::depth_image);
    default:
      return OutputSet::none();
  }
}

void spoil(
  BadSet kind, sensor_msgs::msg::Image & rgb_1, sensor_msgs::msg::Image & depth_1,
  sensor_msgs::msg::Image & depth_2)
{
  switch (kind) {
    case BadSet::depth_encoding:
      depth_2.encoding = "8UC1";
      break;
    case BadSet::short_depth:
      depth_1.data.resize(1000);
      break;
    case BadSet::short_depth_step:
      depth_1.step = depth_1.width;
      break;
    case BadSet::colour_encoding:
      rgb_1.encoding = "32SC4";
      rgb_1.width = rgb_1.step / 16;
      break;
    case BadSet::short_colour:
      rgb_1.data.resize(100);
      break;
  }
}

}  // namespace tavrinox_camera_convertor
