// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include <pcl/PCLPointCloud2.h>

#include <filesystem>
#include <string>

#include <opencv2/core.hpp>

#include "tavrinox_camera_convertor/geometry/image.hpp"

namespace tavrinox_camera_convertor
{

/**
 * @brief Reads a depth image file: single-channel 16-bit (a 16-bit PNG in millimetres).
 * @return a packed "16UC1" message in host byte order
 * @throws RunnerError naming `path` when it is missing, unreadable, not an image, or not
 *         single-channel 16-bit
 */
ImageMessage read_depth_image(const std::string & path);

/**
 * @brief Reads a colour image in any format OpenCV decodes, as 8-bit blue-green-red.
 * @return a packed "bgr8" message
 * @throws RunnerError naming `path` when it is missing, unreadable or not an image
 */
ImageMessage read_color_image(const std::string & path);

/**
 * @brief Encodes `pixels` as PNG (8 or 16 bits per channel) and writes it to `path`.
 * @param shown_path the name the user knows the file by, for the error text
 * @throws RunnerError when the image cannot be encoded or written
 */
void write_png_file(
  const cv::Mat & pixels, const std::filesystem::path & path,
  const std::string & shown_path);

/**
 * @brief Writes `cloud` to `path` as a binary PCD file through PCL.
 * @param shown_path the name the user knows the file by, for the error text
 * @throws RunnerError when the file cannot be written
 */
void write_pcd_file(
  const pcl::PCLPointCloud2 & cloud, const std::filesystem::path & path,
  const std::string & shown_path);

}  // namespace tavrinox_camera_convertor
