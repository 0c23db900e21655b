// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include <pcl/PCLPointCloud2.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace tavrinox_camera_convertor
{

/// Byte offsets of the x, y and z FLOAT32 fields of a cloud's records.
struct XyzLayout
{
  bool found = false;  ///< the cloud has all three fields
  std::array<std::uint32_t, 3> offsets{};
};

/// @brief Where x, y and z lie in `cloud`'s records; not found when one is missing or not FLOAT32.
XyzLayout xyz_layout(const pcl::PCLPointCloud2 & cloud);

/**
 * @brief The records `cloud` can be read for: width x height when x, y and z are FLOAT32 fields
 *        inside point_step and the data holds every record, else 0.
 */
std::size_t readable_points(const pcl::PCLPointCloud2 & cloud);

/**
 * @brief Calls visit(point) with the x, y, z of every `stride`-th record, finite or not, in order.
 *
 * Pictures decide themselves what to make of NaN and infinities; clouds whose header does not
 * match their data give no point at all.
 */
template<typename Visit>
void for_each_record(const pcl::PCLPointCloud2 & cloud, std::size_t stride, Visit && visit)
{
  const std::size_t count = readable_points(cloud);
  if (count == 0 || stride == 0) {
    return;
  }
  const XyzLayout layout = xyz_layout(cloud);
  for (std::size_t i = 0; i < count; i += stride) {
    const std::uint8_t * record = cloud.data.data() + i * cloud.point_step;
    std::array<float, 3> point;
    for (std::size_t axis = 0; axis < point.size(); ++axis) {
      std::memcpy(&point[axis], record + layout.offsets[axis], sizeof(float));
    }
    visit(point);
  }
}

}  // namespace tavrinox_camera_convertor
