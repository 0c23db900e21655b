// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "surface_sample.hpp"

#include <pcl/common/io.h>
#include <pcl/features/normal_3d.h>
#include <pcl/filters/crop_box.h>
#include <pcl/filters/voxel_grid.h>
#include <pcl/search/kdtree.h>

#include <cmath>

namespace tavrinox_camera_convertor
{

pcl::PointCloud<pcl::PointNormal>::Ptr surface_sample(
  const pcl::PointCloud<pcl::PointXYZ>::ConstPtr & cloud, const SharedRegion & region,
  const Eigen::Vector3f & viewpoint, const SamplingSettings & settings)
{
  auto result = pcl::make_shared<pcl::PointCloud<pcl::PointNormal>>();
  if (region.empty) {
    return result;
  }
  pcl::CropBox<pcl::PointXYZ> crop;
  crop.setMin(Eigen::Vector4f(region.low.x(), region.low.y(), region.low.z(), 1.0f));
  crop.setMax(Eigen::Vector4f(region.high.x(), region.high.y(), region.high.z(), 1.0f));
  crop.setInputCloud(cloud);
  const auto cropped = pcl::make_shared<pcl::PointCloud<pcl::PointXYZ>>();
  crop.filter(*cropped);
  if (cropped->empty()) {
    return result;
  }

  pcl::VoxelGrid<pcl::PointXYZ> grid;
  grid.setLeafSize(settings.voxel_m, settings.voxel_m, settings.voxel_m);
  grid.setInputCloud(cropped);
  const auto thinned = pcl::make_shared<pcl::PointCloud<pcl::PointXYZ>>();
  grid.filter(*thinned);

  pcl::NormalEstimation<pcl::PointXYZ, pcl::Normal> estimation;
  estimation.setInputCloud(thinned);
  estimation.setSearchMethod(pcl::make_shared<pcl::search::KdTree<pcl::PointXYZ>>());
  estimation.setRadiusSearch(settings.normal_radius_m);
  estimation.setViewPoint(viewpoint.x(), viewpoint.y(), viewpoint.z());
  pcl::PointCloud<pcl::Normal> normals;
  estimation.compute(normals);

  result->reserve(thinned->size());
  for (std::size_t i = 0; i < thinned->size(); ++i) {
    const pcl::Normal & normal = normals[i];
    if (!std::isfinite(normal.normal_x) || !std::isfinite(normal.normal_y) ||
      !std::isfinite(normal.normal_z))
    {
      continue;
    }
    pcl::PointNormal point;
    point.x = (*thinned)[i].x;
    point.y = (*thinned)[i].y;
    point.z = (*thinned)[i].z;
    point.normal_x = normal.normal_x;
    point.normal_y = normal.normal_y;
    point.normal_z = normal.normal_z;
    point.curvature = normal.curvature;
    result->push_back(point);
  }
  return result;
}

}  // namespace tavrinox_camera_convertor
