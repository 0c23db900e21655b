// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// The images the benchmarks' stand-ins for both cameras send, and the topics they send them on.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <rclcpp/rclcpp.hpp>
#include <sensor_msgs/msg/image.hpp>

#include "tavrinox_camera_convertor/geometry/camera_config.hpp"

namespace tavrinox_camera_convertor
{

/// @brief A zeroed image of packed rows, `bytes_per_pixel` bytes a pixel.
std::unique_ptr<sensor_msgs::msg::Image> blank_image(
  std::uint32_t width, std::uint32_t height, const std::string & encoding,
  std::uint32_t bytes_per_pixel);

/// @brief A "16UC1" image of `width` x `height` row-major millimetres, in this host's order.
std::unique_ptr<sensor_msgs::msg::Image> depth_image(
  std::uint32_t width, std::uint32_t height, const std::vector<std::uint16_t> & mm);

/// @brief An "rgb8" image of a fixed pattern, the colour both stand-in cameras send.
std::unique_ptr<sensor_msgs::msg::Image> pattern_colour_image(
  std::uint32_t width, std::uint32_t height);

/**
 * @brief Publishers of the four camera topics of `config`, in the synchronizer's order (camera
 *        1's colour and depth, then camera 2's), with the QoS the converter subscribes with.
 */
std::vector<rclcpp::Publisher<sensor_msgs::msg::Image>::SharedPtr> camera_publishers(
  rclcpp::Node & node, const CameraConfig & config);

}  // namespace tavrinox_camera_convertor
