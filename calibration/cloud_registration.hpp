// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include <Eigen/Core>
#include <pcl/point_cloud.h>
#include <pcl/point_types.h>

#include <cstddef>
#include <vector>

namespace tavrinox_camera_convertor
{

/// How the moving cloud is registered onto the reference.
struct RegistrationSettings
{
  /// Pairs farther apart than this are not matched, one ICP run per entry, coarse to fine: the
  /// first admits the few centimetres a hand calibration may be off, the last little more than the
  /// noise.
  std::vector<float> correspondence_distances_m = {0.05f, 0.02f, 0.01f};
  /// Share of the pairs kept in each iteration, the closest ones: the rest are mostly points that
  /// only one camera sees next to the overlap, or surface edges, which would pull the result aside.
  float kept_share = 0.9f;
  /// All stages but the last register a random sample (fixed seed) of this many moving points,
  /// which is quick; the last registers every point near the reference, so that the result does not
  /// depend on the sample.
  std::size_t coarse_moving_points = 10000;
  int iterations_per_stage = 50;
};

/// What a registration found.
struct RegistrationResult
{
  /// maps the moving cloud onto the reference
  Eigen::Matrix4d correction = Eigen::Matrix4d::Identity();
  bool converged = false;  ///< the last stage settled before its iteration limit
};

/**
 * @brief Registers `moving` onto `reference` with PCL's point-to-plane ICP, stage by stage.
 *
 * Each stage starts from the previous one's result. Only the last stage has to converge: the coarse
 * ones just bring the clouds close enough for the fine one. Moving points farther from the reference
 * than twice the first stage's distance take no part.
 * @param reference thinned cloud with unit normals (see surface_sample); @p moving thinned cloud
 */
RegistrationResult register_onto(
  const pcl::PointCloud<pcl::PointNormal>::ConstPtr & reference,
  const pcl::PointCloud<pcl::PointNormal>::ConstPtr & moving,
  const RegistrationSettings & settings);

}  // namespace tavrinox_camera_convertor
