// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include <string>

#include <opencv2/core.hpp>

#include "tavrinox_camera_convertor/geometry/image.hpp"

namespace tavrinox_camera_convertor
{

/**
 * @brief An OpenCV header over a message's pixels, without copying.
 *
 * "16UC1" and "mono16" (host byte order) give CV_16UC1, "bgr8" and "rgb8" CV_8UC3, "mono8"
 * CV_8UC1. The header is valid while `image` lives unchanged and must only be read.
 * @throws std::invalid_argument for another encoding, a foreign byte order or rows outside the data
 */
cv::Mat mat_view_of(const ImageMessage & image);

/// @brief A packed message of `encoding` holding a copy of `pixels` (continuous or not).
ImageMessage image_message_from(const cv::Mat & pixels, const std::string & encoding);

}  // namespace tavrinox_camera_convertor
