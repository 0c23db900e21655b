// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include <pcl/PCLPointCloud2.h>

#include <Eigen/Core>

#include <array>

namespace tavrinox_camera_convertor
{

/// Which two arm axes a view shows, left to right and bottom to top (0 = x, 1 = y, 2 = z).
struct ViewAxes
{
  int horizontal;
  int vertical;
  const char * horizontal_name;
  const char * vertical_name;
};

/// The arm-frame rectangle a view shows: lower corner and size in metres along its two axes.
struct ViewWindow
{
  double low_h = 0.0;
  double low_v = 0.0;
  double span_h = 1.0;
  double span_v = 1.0;

  /// @brief Whether (h, v) lies in the window, edges included; never for NaN.
  bool contains(double h, double v) const;
};

/// Views are framed on each cloud's points from this percentile of every view axis...
inline constexpr double kFramingLowPercentile = 1.0;
/// ...to this one, so that a few stray or far points do not shrink the scene to a dot.
inline constexpr double kFramingHighPercentile = 99.0;
/// Coordinates farther than this from the arm's origin (metres) take no part in framing: no
/// camera on an arm measures that far, such values come from a slip of units or exponent.
inline constexpr double kFarthestFramedM = 1e6;

/// @brief Whether a coordinate may take part in framing: finite and within kFarthestFramedM.
bool is_framable(double coordinate);

/**
 * @brief The window of a view of both arm-frame clouds along `axes`.
 *
 * Along each axis each cloud spans its kFramingLowPercentile to kFramingHighPercentile
 * percentile, over the points whose two view coordinates are framable; the window is the part
 * both clouds share, or both when they do not meet, so that floor or wall seen by one camera
 * only does not shrink what matters. A camera is framed too when it lies within reach of that
 * part (its size, at least 2 m); one farther off is left out. A margin of 6 % of the larger
 * side, at least 6 mm, goes all round, so the window is never empty. The work is bounded by
 * the number of points, whatever their values.
 * @param cameras the optical centres of camera 1 and camera 2 in the arm frame
 */
ViewWindow frame_view(
  const pcl::PCLPointCloud2 & cam1_cloud, const pcl::PCLPointCloud2 & cam2_cloud,
  const std::array<Eigen::Vector3f, 2> & cameras, const ViewAxes & axes);

}  // namespace tavrinox_camera_convertor
