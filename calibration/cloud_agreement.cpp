// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "cloud_agreement.hpp"

#include <pcl/kdtree/kdtree_flann.h>

#include <algorithm>
#include <cmath>

namespace tavrinox_camera_convertor
{
namespace
{

double quantile_mm(std::vector<float> & distances_m, double fraction)
{
  const auto index = static_cast<std::size_t>(
    std::lround(fraction * static_cast<double>(distances_m.size() - 1)));
  std::nth_element(
    distances_m.begin(), distances_m.begin() + static_cast<std::ptrdiff_t>(index),
    distances_m.end());
  return 1000.0 * static_cast<double>(distances_m[index]);
}

}  // namespace

Agreement measure_agreement(
  const pcl::PointCloud<pcl::PointNormal>::ConstPtr & reference,
  const pcl::PointCloud<pcl::PointNormal> & compared)
{
  Agreement agreement;
  agreement.points = compared.size();
  if (reference->empty() || compared.empty()) {
    return agreement;
  }
  pcl::KdTreeFLANN<pcl::PointNormal> tree;
  tree.setInputCloud(reference);
  pcl::Indices nearest(1);
  std::vector<float> squared_distance(1);
  std::vector<float> distances_m;
  for (const pcl::PointNormal & point : compared) {
    // The nearest point within the radius: a search bounded by it costs the few points there,
    // where an unbounded one from a point far off the surface visits much of the tree.
    if (tree.radiusSearch(point, kNeighbourRadiusM, nearest, squared_distance, 1) != 1) {
      continue;
    }
    ++agreement.overlap_points;
    const pcl::PointNormal & surface = (*reference)[nearest[0]];
    if (surface.getNormalVector3fMap().dot(point.getNormalVector3fMap()) < kSameFacingCosine) {
      continue;
    }
    const Eigen::Vector3f offset = point.getVector3fMap() - surface.getVector3fMap();
    const float distance = std::abs(offset.dot(surface.getNormalVector3fMap()));
    agreement.overlap.push_back({point.getVector3fMap(), distance});
    distances_m.push_back(distance);
  }
  if (!distances_m.empty()) {
    agreement.median_mm = quantile_mm(distances_m, 0.5);
    agreement.p90_mm = quantile_mm(distances_m, 0.9);
  }
  return agreement;
}

}  // namespace tavrinox_camera_convertor
