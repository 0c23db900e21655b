// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "output_tags.hpp"

#include "set_tag.hpp"

namespace tavrinox_camera_convertor
{

std::optional<std::uint32_t> image_output_set(
  OutputKind kind, const std::uint8_t * data, std::size_t size)
{
  if (kind == OutputKind::depth_image && size >= 2 * kTagPixels) {
    return read_depth_tag(data);
  }
  if (kind == OutputKind::color_image && size >= 3 * kTagPixels) {
    return read_color_tag(data);
  }
  return std::nullopt;
}

std::optional<std::uint32_t> cloud_output_set(
  OutputKind kind, const sensor_msgs::msg::PointCloud2 & cloud, const CameraConfig & config)
{
  const ExtrinsicTransform & extrinsic =
    kind == OutputKind::cam2_cloud ? config.extrinsic_2 : config.extrinsic_1;
  // Only the converter's own layout, 16 bytes a point, carries the tag in its first points.
  const std::size_t points = cloud.point_step == 16 ? cloud.data.size() / 16 : 0;
  return read_cloud_tag(cloud.data.data(), points, extrinsic);
}

}  // namespace tavrinox_camera_convertor
