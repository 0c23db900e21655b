// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "depth_case.hpp"

#include <cstdint>
#include <stdexcept>
#include <utility>

#include <opencv2/imgcodecs.hpp>

#include "packed_image.hpp"

namespace tavrinox_camera_convertor::bench
{

DepthCase depth_case(const std::string & name, ImageMessage depth, const CameraConfig & config)
{
  const float scale_x = static_cast<float>(depth.width) / 640.0f;
  const float scale_y = static_cast<float>(depth.height) / 480.0f;
  DepthCase result{name, std::move(depth), config.intrinsics_1, config.extrinsic_1};
  CameraIntrinsics & k = result.intrinsics;
  k.fx *= scale_x;
  k.fy *= scale_y;
  // Pixel centres stay where they were on the scene: the scaling is about the image's corner.
  k.cx = (k.cx + 0.5f) * scale_x - 0.5f;
  k.cy = (k.cy + 0.5f) * scale_y - 0.5f;
  return result;
}

DepthCase depth_file_case(const std::string & path, const CameraConfig & config)
{
  const cv::Mat image = cv::imread(path, cv::IMREAD_UNCHANGED);
  if (image.empty() || image.type() != CV_16UC1 || !image.isContinuous()) {
    throw std::runtime_error(path + ": cannot read a single-channel 16-bit depth image");
  }
  return depth_case(path, image_message_of(image, "16UC1"), config);
}

}  // namespace tavrinox_camera_convertor::bench
