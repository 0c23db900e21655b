// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include <pcl/point_cloud.h>
#include <pcl/point_types.h>

#include <Eigen/Core>

#include "shared_region.hpp"

namespace tavrinox_camera_convertor
{

/// How a cloud is thinned and how its surface normals are estimated.
struct SamplingSettings
{
  float voxel_m = 0.005f;          ///< one point per voxel of this edge, the voxel's centroid
  float normal_radius_m = 0.015f;  ///< neighbours within this radius fit the local plane
};

/**
 * @brief The part of `cloud` inside `region`, thinned to one point per voxel, each point with
 *        the unit normal of its local surface turned towards `viewpoint`.
 *
 * Both cameras thinned alike weigh every patch of surface by its area, not by how close the
 * camera was; a voxel centroid of a flat patch lies on the patch, so distances to the surface
 * stay unbiased.
 * Points with too few neighbours for a plane are dropped.
 * @param viewpoint the optical centre of the camera that saw `cloud`, in the same frame
 * @param settings with a voxel whose grid over `region` PCL can index (see sampling_voxel);
 *        otherwise PCL leaves the cloud unthinned and the normal estimation's radius searches
 *        grow with the square of the points
 */
pcl::PointCloud<pcl::PointNormal>::Ptr surface_sample(
  const pcl::PointCloud<pcl::PointXYZ>::ConstPtr & cloud, const SharedRegion & region,
  const Eigen::Vector3f & viewpoint, const SamplingSettings & settings);

}  // namespace tavrinox_camera_convertor
