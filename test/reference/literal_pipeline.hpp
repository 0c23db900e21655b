// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// The frame written the plain way, one library call per step: a cloud per stage, point by
// point appends, pcl::transformPointCloud, cloud concatenation, pcl::toPCLPointCloud2 per
// cloud, a cv::Mat for the completed image converted to a message twice. It is the
// reference the fast pipeline must equal bit for bit, and the baseline it is timed against.
#pragma once

#include <pcl/PCLPointCloud2.h>

#include "tavrinox_camera_convertor/geometry/camera_config.hpp"
#include "tavrinox_camera_convertor/geometry/image.hpp"

namespace tavrinox_camera_convertor::literal
{

/// The five outputs of one frame, without stamps.
struct LiteralFrame
{
  pcl::PCLPointCloud2 cam1_cloud;
  pcl::PCLPointCloud2 cam2_cloud;
  ImageMessage depth_image;
  ImageMessage color_image;
  pcl::PCLPointCloud2 converted_cloud;
};

/**
 * @brief Runs one frame the literal way.
 * @param depth_1 packed host-order "16UC1" depth of camera 1
 * @param depth_2 packed host-order "16UC1" depth of camera 2
 * @param rgb_1 camera 1's colour image in an encoding convert_image_to_rgb8 accepts
 */
LiteralFrame run_literal_frame(
  const CameraConfig & config, const ImageView & depth_1, const ImageView & depth_2,
  const ImageView & rgb_1);

}  // namespace tavrinox_camera_convertor::literal
