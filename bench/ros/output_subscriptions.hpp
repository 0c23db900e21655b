// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// Subscriptions of the converter's five raw outputs: the images as images, the clouds as clouds.
#pragma once

#include <functional>
#include <vector>

#include <rclcpp/rclcpp.hpp>
#include <sensor_msgs/msg/image.hpp>
#include <sensor_msgs/msg/point_cloud2.hpp>

#include "tavrinox_camera_convertor/pipeline/output_set.hpp"

namespace tavrinox_camera_convertor
{

/// Called with each image output as it arrives, and which output it is.
using ImageOutputCallback = std::function<void (OutputKind, sensor_msgs::msg::Image::UniquePtr)>;
/// Called with each cloud output as it arrives, and which output it is.
using CloudOutputCallback =
  std::function<void (OutputKind, sensor_msgs::msg::PointCloud2::UniquePtr)>;

/**
 * @brief Subscribes `node` to the five output topics with `qos`: the depth and colour images to
 *        `on_image`, the three clouds to `on_cloud`, called in `group` (none: the node's own).
 * @return the subscriptions, which last as long as they are kept
 */
std::vector<rclcpp::SubscriptionBase::SharedPtr> subscribe_outputs(
  rclcpp::Node & node, const rclcpp::QoS & qos, const rclcpp::CallbackGroup::SharedPtr & group,
  const ImageOutputCallback & on_image, const CloudOutputCallback & on_cloud);

}  // namespace tavrinox_camera_convertor
