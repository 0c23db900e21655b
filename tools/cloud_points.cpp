// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "cloud_points.hpp"

namespace tavrinox_camera_convertor
{

XyzLayout xyz_layout(const pcl::PCLPointCloud2 & cloud)
{
  XyzLayout layout;
  std::array<bool, 3> seen{};
  const std::array<const char *, 3> names = {"x", "y", "z"};
  for (const pcl::PCLPointField & field : cloud.fields) {
    for (std::size_t axis = 0; axis < names.size(); ++axis) {
      if (field.name == names[axis] && field.datatype == pcl::PCLPointField::FLOAT32) {
        layout.offsets[axis] = field.offset;
        seen[axis] = true;
      }
    }
  }
  layout.found = seen[0] && seen[1] && seen[2];
  return layout;
}

std::size_t readable_points(const pcl::PCLPointCloud2 & cloud)
{
  const XyzLayout layout = xyz_layout(cloud);
  if (!layout.found || cloud.point_step == 0) {
    return 0;
  }
  for (const std::uint32_t offset : layout.offsets) {
    if (static_cast<std::uint64_t>(offset) + sizeof(float) > cloud.point_step) {
      return 0;
    }
  }
  // In 64 bits: width and height are 32-bit each and may both be large in a hand-made header.
  const std::uint64_t count = static_cast<std::uint64_t>(cloud.width) * cloud.height;
  if (count > cloud.data.size() / cloud.point_step) {
    return 0;
  }
  return static_cast<std::size_t>(count);
}

}  // namespace tavrinox_camera_convertor
