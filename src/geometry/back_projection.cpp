// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "tavrinox_camera_convertor/geometry/back_projection.hpp"

#include <limits>
#include <memory>

namespace tavrinox_camera_convertor
{

MillimetreTable::MillimetreTable()
: metres_(std::numeric_limits<std::uint16_t>::max() + 1)
{
  for (std::size_t d = 0; d < metres_.size(); ++d) {
    metres_[d] = static_cast<float>(static_cast<double>(d) / 1000.0);
  }
}

pcl::PointCloud<pcl::PointXYZ>::Ptr depth_to_cloud(
  const DepthPixels & depth,
  const CameraIntrinsics & intrinsics)
{
  auto cloud = std::make_shared<pcl::PointCloud<pcl::PointXYZ>>();
  if (depth.empty()) {
    return cloud;
  }
  cloud->reserve(static_cast<std::size_t>(depth.width()) * depth.height());
  for (std::uint32_t i = 0; i < depth.height(); ++i) {
    const std::uint8_t * row = depth.row(i);
    for (std::uint32_t j = 0; j < depth.width(); ++j) {
      const std::uint16_t d = DepthPixels::at(row, j);
      const float z = static_cast<float>(d / 1000.0);
      if (!(z > 0.0f)) {
        continue;
      }
      cloud->push_back(
        pcl::PointXYZ(
          back_project_coordinate(j, intrinsics.cx, z, intrinsics.fx),
          back_project_coordinate(i, intrinsics.cy, z, intrinsics.fy), z));
    }
  }
  return cloud;
}

pcl::PointCloud<pcl::PointXYZ>::Ptr depth_to_cloud(
  const ImageView & depth,
  const CameraIntrinsics & intrinsics)
{
  std::vector<std::uint16_t> scratch;
  return depth_to_cloud(DepthPixels(depth, "depth image", scratch), intrinsics);
}

}  // namespace tavrinox_camera_convertor
