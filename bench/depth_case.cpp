// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "depth_case.hpp"

#include <cstdint>
#include <stdexcept>
#include <utility>

#include <opencv2/imgcodecs.hpp>

#include "packed_image.hpp"
#include "scaled_camera_config.hpp"

namespace tavrinox_camera_convertor::bench
{

DepthCase depth_case(const std::string & name, ImageMessage depth, const CameraConfig & config)
{
  const CameraConfig scaled = scaled_camera_config(config, depth.width, depth.height);
  return DepthCase{name, std::move(depth), scaled.intrinsics_1, scaled.extrinsic_1};
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
