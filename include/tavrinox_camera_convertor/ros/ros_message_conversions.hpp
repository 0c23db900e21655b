// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// Between the core's message types and ROS 2 messages, without copying pixel or point data.
#pragma once

#include <memory>

#include <rclcpp/rclcpp.hpp>
#include <sensor_msgs/msg/image.hpp>
#include <sensor_msgs/msg/point_cloud2.hpp>

#include "tavrinox_camera_convertor/geometry/cloud_encoding.hpp"
#include "tavrinox_camera_convertor/geometry/image.hpp"
#include "tavrinox_camera_convertor/pipeline/frame_output.hpp"

namespace tavrinox_camera_convertor
{

/// @brief A view of a ROS image message, valid while the message lives.
ImageView image_view(const sensor_msgs::msg::Image & image);

/**
 * @brief Publishes `message` without copying its points.
 *
 * With a subscription in this process the ROS message takes the buffer along (`message` is left
 * with an empty one); otherwise the buffer is lent for the call and given back.
 */
void publish_cloud(
  CloudMessage & message, rclcpp::Publisher<sensor_msgs::msg::PointCloud2> & publisher);

/// @brief Publishes `message` without copying its pixels, as publish_cloud does.
void publish_image(ImageMessage & message, rclcpp::Publisher<sensor_msgs::msg::Image> & publisher);

/// The system clock as rclcpp reads it (RCL_SYSTEM_TIME, never simulated time).
class RosSystemClock : public Clock
{
public:
  Stamp now() override;
};

/// Camera 1's colour image converted to "rgb8" by cv_bridge.
class CvBridgeColorConverter : public ColorConverter
{
public:
  explicit CvBridgeColorConverter(std::shared_ptr<const sensor_msgs::msg::Image> image);
  void convert_to_rgb8(ImageMessage & out) const override;

private:
  std::shared_ptr<const sensor_msgs::msg::Image> image_;
};

}  // namespace tavrinox_camera_convertor
