// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "tavrinox_camera_convertor/arm_cloud.hpp"

#include "tavrinox_camera_convertor/cloud_encoding.hpp"
#include "tavrinox_camera_convertor/point_transform.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

std::size_t count_measured(const DepthPixels & depth)
{
  std::size_t count = 0;
  for (std::uint32_t i = 0; i < depth.height(); ++i) {
    const std::uint8_t * row = depth.row(i);
    // Counts pixels with depth; branch-free so the compiler can vectorise it.
    for (std::uint32_t j = 0; j < depth.width(); ++j) {
      count += DepthPixels::at(row, j) != 0;
    }
  }
  return count;
}

}  // namespace

void write_arm_cloud(
  const DepthPixels & depth, const CameraIntrinsics & intrinsics, const ExtrinsicTransform & extrinsic,
  const MillimetreTable & metres, pcl::PCLPointCloud2 & out)
{
  if (depth.empty()) {
    prepare_xyz_cloud(0, out);
    return;
  }
  // Counting first sizes the message exactly, so no record is ever moved or zero-filled twice.
  prepare_xyz_cloud(count_measured(depth), out);
  const PointTransform transform(extrinsic);
  std::uint8_t * record = out.data.data();
  for (std::uint32_t i = 0; i < depth.height(); ++i) {
    const std::uint8_t * row = depth.row(i);
    const float row_offset = static_cast<float>(i) - intrinsics.cy;
    // Back-projects each measured pixel and writes its arm-frame record.
    for (std::uint32_t j = 0; j < depth.width(); ++j) {
      const std::uint16_t d = DepthPixels::at(row, j);
      if (d == 0) {
        continue;
      }
      const float z = metres[d];
      const float x = back_project_coordinate(j, intrinsics.cx, z, intrinsics.fx);
      const float y = row_offset * z / intrinsics.fy;
      transform.apply(x, y, z, record);
      record += kPointRecordBytes;
    }
  }
}

}  // namespace tavrinox_camera_convertor
