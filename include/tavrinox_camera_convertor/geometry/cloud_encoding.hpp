// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include <pcl/PCLPointCloud2.h>
#include <pcl/point_cloud.h>
#include <pcl/point_types.h>

#include <cstddef>

#include "tavrinox_camera_convertor/geometry/image.hpp"

namespace tavrinox_camera_convertor
{

/// Bytes of one encoded point: x, y, z and a fourth float, all little-endian FLOAT32.
inline constexpr std::size_t kPointRecordBytes = sizeof(pcl::PointXYZ);
static_assert(kPointRecordBytes == 16, "point records are 16 bytes");

/// A point cloud message ready to publish: the publication header and the encoded cloud.
struct CloudMessage
{
  Header header;
  pcl::PCLPointCloud2 cloud;
};

/// @brief Encodes `cloud` exactly as pcl::toPCLPointCloud2 does (which pcl_conversions copies
/// unchanged).
void encode_cloud(const pcl::PointCloud<pcl::PointXYZ> & cloud, pcl::PCLPointCloud2 & out);

/**
 * @brief Gives `out` the layout that encode_cloud gives an unorganized cloud of `points`
 *        points, with data sized for their records but not written.
 *
 * Lets a producer write records straight into the message; reuses `out`'s buffers.
 */
void prepare_xyz_cloud(std::size_t points, pcl::PCLPointCloud2 & out);

}  // namespace tavrinox_camera_convertor
