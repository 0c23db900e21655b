// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include <pcl/PCLPointCloud2.h>

#include <Eigen/Core>
#include <opencv2/core.hpp>

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

/**
 * @brief Draws both arm-frame clouds projected onto two arm axes, as CV_8UC3 of `panel` size.
 *
 * Camera 1's points are orange, camera 2's azure, brighter where more points fall; where both
 * clouds lie the colours add up to grey or white, so a bad calibration shows as two offset
 * copies in orange and azure. The view frames the part of the workspace both clouds share and
 * the two camera positions, which are marked; it has a metre grid and a legend.
 * @param cameras the optical centres of camera 1 and camera 2 in the arm frame
 */
cv::Mat draw_cloud_view(
  const pcl::PCLPointCloud2 & cam1_cloud, const pcl::PCLPointCloud2 & cam2_cloud,
  const std::array<Eigen::Vector3f, 2> & cameras, const ViewAxes & axes, cv::Size panel);

}  // namespace tavrinox_camera_convertor
