// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include <Eigen/Core>
#include <pcl/PCLPointCloud2.h>

#include <array>
#include <cstddef>

#include <opencv2/core.hpp>

#include "view_window.hpp"

namespace tavrinox_camera_convertor
{

/// How much of both clouds and cameras a view shows.
struct ViewCoverage
{
  std::array<std::size_t, 2> points{};   ///< records of camera 1's and camera 2's cloud
  /// of them, not drawn: not finite, farther than kFarthestFramedM, or beyond the window
  std::array<std::size_t, 2> outside{};
  std::array<bool, 2> camera_inside{};   ///< the camera is marked where it is, not at the edge

  /// @brief Points of both clouds together.
  std::size_t total_points() const;
  /// @brief Points of both clouds left outside, together.
  std::size_t total_outside() const;
  /// @brief Whether a point or a camera was left outside the view.
  bool anything_outside() const;
};

/// A drawn view and what it left out.
struct CloudView
{
  cv::Mat image;  ///< CV_8UC3 of the panel's size
  ViewCoverage coverage;
};

/// Smallest panel a view fits in: its margins around a plot of 16 x 16 pixels.
inline constexpr int kLeastCloudViewWidth = 68;
/// Smallest panel height, see kLeastCloudViewWidth.
inline constexpr int kLeastCloudViewHeight = 44;

/**
 * @brief Draws both arm-frame clouds projected onto two arm axes, in a `panel` sized picture.
 *
 * Camera 1's points are orange, camera 2's azure, brighter where more points fall; where both
 * clouds lie the colours add up to grey or white, so a bad calibration shows as two offset
 * copies in orange and azure. The window is frame_view's: the bulk of the points (the legend
 * says which percentiles) and the cameras near them; a camera outside is marked at the edge
 * towards it. It has a grid of round spacing and a legend that gives the share of points left
 * out. The work is bounded by the panel's pixels and the clouds' points, whatever the values.
 * @param cameras the optical centres of camera 1 and camera 2 in the arm frame
 * @throws std::invalid_argument for a panel smaller than kLeastCloudViewWidth x
 *         kLeastCloudViewHeight
 */
CloudView draw_cloud_view(
  const pcl::PCLPointCloud2 & cam1_cloud, const pcl::PCLPointCloud2 & cam2_cloud,
  const std::array<Eigen::Vector3f, 2> & cameras, const ViewAxes & axes, cv::Size panel);

}  // namespace tavrinox_camera_convertor
