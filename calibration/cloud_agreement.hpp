// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include <Eigen/Core>
#include <pcl/point_cloud.h>
#include <pcl/point_types.h>

#include <cstddef>
#include <vector>

namespace tavrinox_camera_convertor
{

/// Radius within which a point has a partner from the other camera, in metres.
inline constexpr float kNeighbourRadiusM = 0.02f;

/// Two neighbours whose surfaces face apart by more than this (45 degrees) see different faces of
/// an edge, where one camera lost the face the other sees; their distance says nothing about the
/// calibration.
inline constexpr float kSameFacingCosine = 0.7071f;

/// A point of the overlap and how far it lies from the other camera's surface.
struct OverlapPoint
{
  Eigen::Vector3f position;
  float distance_m = 0.0f;  ///< point-to-plane distance, metres, never negative
};

/// How well one camera's cloud lies on the other's surface.
struct Agreement
{
  std::size_t points = 0;          ///< the compared camera's thinned points in the shared region
  /// of those, the points with a reference point within kNeighbourRadiusM
  std::size_t overlap_points = 0;
  /// median point-to-plane distance over the overlap's same-facing points
  double median_mm = 0.0;
  double p90_mm = 0.0;             ///< 90th percentile of the same distances
  /// the overlap's points whose neighbour's surface faces the same way
  std::vector<OverlapPoint> overlap;

  /// @brief overlap_points / points, 0 for no points.
  double overlap_share() const
  {
    return points == 0 ? 0.0 : static_cast<double>(overlap_points) / static_cast<double>(points);
  }
};

/**
 * @brief Measures `compared` against the surface of `reference`.
 *
 * Every compared point looks up its nearest reference point; within kNeighbourRadiusM it belongs to
 * the overlap. Where both points' surfaces face the same way, its distance is the distance to the
 * plane through the reference point along the reference point's normal: point-to-plane rather than
 * point-to-point, so that the spacing of the reference points does not count as disagreement.
 * @param reference and @p compared points with unit normals facing their cameras (see surface_sample)
 */
Agreement measure_agreement(
  const pcl::PointCloud<pcl::PointNormal>::ConstPtr & reference,
  const pcl::PointCloud<pcl::PointNormal> & compared);

}  // namespace tavrinox_camera_convertor
