// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// The benchmarks' images as the converter receives them: packed rows in an ImageMessage, made
// from what OpenCV read from a file or from generated millimetres.
#pragma once

#include <cstdint>
#include <string>

#include <opencv2/core.hpp>

#include "tavrinox_camera_convertor/geometry/image.hpp"

namespace tavrinox_camera_convertor::bench
{

/**
 * @brief A copy of `image` with rows packed one after the other, named `encoding`; multi-byte
 *        samples keep this machine's byte order, which the message says.
 */
ImageMessage image_message_of(const cv::Mat & image, const std::string & encoding);

/// @brief A packed "16UC1" image of `width` x `height` row-major millimetres.
ImageMessage depth_image_message(
  std::uint32_t width, std::uint32_t height, const std::uint16_t * millimetres);

}  // namespace tavrinox_camera_convertor::bench
