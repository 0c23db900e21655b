// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include <pcl/PCLPointCloud2.h>

#include <array>

#include <opencv2/core.hpp>

#include "cloud_view.hpp"
#include "tavrinox_camera_convertor/geometry/camera_config.hpp"

namespace tavrinox_camera_convertor
{

/// The images the preview shows; OpenCV matrices, blue-green-red for colour.
struct PreviewImages
{
  cv::Mat rgb_1;      ///< camera 1's colour, CV_8UC3
  cv::Mat depth_1;    ///< camera 1's measured depth, CV_16UC1 millimetres
  cv::Mat completed;  ///< the completed depth, CV_16UC1, camera 1's size
  cv::Mat truth_1;    ///< camera 1's true depth, CV_16UC1, camera 1's size, or empty
  cv::Mat rgb_2;      ///< camera 2's colour, CV_8UC3, or empty
};

/// The preview picture and what its two cloud views left out.
struct Preview
{
  cv::Mat picture;  ///< CV_8UC3 blue-green-red
  ViewCoverage top_view;
  ViewCoverage side_view;
};

/**
 * @brief Draws the picture a person judges a frame by.
 *
 * Six titled panels in two rows: camera 1's colour, its measured depth colour-mapped with
 * holes black, the completed depth with the filled pixels outlined; a top view and a side view
 * of both arm-frame clouds (camera 1 orange, camera 2 azure, overlap grey to white, cameras
 * marked), where a bad calibration shows as two offset copies; and the error map of the filled
 * pixels against the truth, or camera 2's colour when no truth is given. The cloud views frame
 * the bulk of the points (see draw_cloud_view); the work is bounded by the picture's size and
 * the clouds' points, whatever their values.
 */
Preview render_preview(
  const PreviewImages & images, const pcl::PCLPointCloud2 & cam1_cloud,
  const pcl::PCLPointCloud2 & cam2_cloud, const CameraConfig & config);

}  // namespace tavrinox_camera_convertor
