// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include <Eigen/Core>
#include <pcl/point_cloud.h>
#include <pcl/point_types.h>

namespace tavrinox_camera_convertor
{

/// An axis-aligned box of the arm frame, in metres.
struct SharedRegion
{
  Eigen::Vector3f low = Eigen::Vector3f::Zero();
  Eigen::Vector3f high = Eigen::Vector3f::Zero();
  bool empty = true;
};

/**
 * @brief The box where both clouds lie, widened by `margin_m` on every side.
 *
 * Each cloud's extent along an axis runs from its 0.5 % to its 99.5 % quantile, so a few stray
 * points do not widen it; the box is their intersection. Only points in this box can have a
 * partner from the other camera, and leaving far-off walls and floors out keeps the work small.
 * @return an empty region when the clouds do not meet along some axis, or either has no point
 */
SharedRegion shared_region(
  const pcl::PointCloud<pcl::PointXYZ> & cloud_a, const pcl::PointCloud<pcl::PointXYZ> & cloud_b,
  float margin_m);

}  // namespace tavrinox_camera_convertor
