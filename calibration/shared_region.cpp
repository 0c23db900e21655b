// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "shared_region.hpp"

#include <algorithm>
#include <cmath>
#include <vector>

namespace tavrinox_camera_convertor
{
namespace
{

constexpr double kLowQuantile = 0.005;
constexpr double kHighQuantile = 0.995;
// A sample of this many points fixes the quantiles well enough and keeps large clouds cheap.
constexpr std::size_t kQuantileSamples = 50000;

float quantile(std::vector<float> & values, double fraction)
{
  const auto index = static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1));
  std::nth_element(
    values.begin(), values.begin() + static_cast<std::ptrdiff_t>(index),
    values.end());
  return values[index];
}

/// Lower and upper quantile of every axis; false when the cloud has no finite point.
bool cloud_extent(
  const pcl::PointCloud<pcl::PointXYZ> & cloud, Eigen::Vector3f & low,
  Eigen::Vector3f & high)
{
  const std::size_t stride = std::max<std::size_t>(1, cloud.size() / kQuantileSamples);
  std::vector<float> values;
  for (int axis = 0; axis < 3; ++axis) {
    values.clear();
    for (std::size_t i = 0; i < cloud.size(); i += stride) {
      const pcl::PointXYZ & point = cloud[i];
      if (std::isfinite(point.x) && std::isfinite(point.y) && std::isfinite(point.z)) {
        values.push_back(point.data[axis]);
      }
    }
    if (values.empty()) {
      return false;
    }
    low[axis] = quantile(values, kLowQuantile);
    high[axis] = quantile(values, kHighQuantile);
  }
  return true;
}

}  // namespace

SharedRegion shared_region(
  const pcl::PointCloud<pcl::PointXYZ> & cloud_a, const pcl::PointCloud<pcl::PointXYZ> & cloud_b,
  float margin_m)
{
  Eigen::Vector3f low_a, high_a, low_b, high_b;
  SharedRegion region;
  if (!cloud_extent(cloud_a, low_a, high_a) || !cloud_extent(cloud_b, low_b, high_b)) {
    return region;
  }
  region.low = low_a.cwiseMax(low_b).array() - margin_m;
  region.high = high_a.cwiseMin(high_b).array() + margin_m;
  region.empty = (region.low.array() >= region.high.array()).any();
  return region;
}

}  // namespace tavrinox_camera_convertor
