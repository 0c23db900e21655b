// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include <rclcpp/rclcpp.hpp>
#include <sensor_msgs/msg/image.hpp>
#include <sensor_msgs/msg/point_cloud2.hpp>

#include "tavrinox_camera_convertor/frame_output.hpp"

namespace tavrinox_camera_convertor
{

/// The node's five publishers, in the order a frame's outputs go out.
struct FramePublishers
{
  rclcpp::Publisher<sensor_msgs::msg::PointCloud2> & cam1_cloud;
  rclcpp::Publisher<sensor_msgs::msg::PointCloud2> & cam2_cloud;
  rclcpp::Publisher<sensor_msgs::msg::Image> & depth_image;
  rclcpp::Publisher<sensor_msgs::msg::Image> & color_image;
  rclcpp::Publisher<sensor_msgs::msg::PointCloud2> & converted_cloud;
};

/// Hands a frame's outputs to the node's publishers; only outputs with a subscription are wanted.
class PublisherOutput : public FrameOutput
{
public:
  /// @brief Publishes through `publishers`, which must outlive this output.
  explicit PublisherOutput(const FramePublishers & publishers);

  /// @brief The outputs whose topic has a subscription, in this process or another.
  OutputSet wanted() const override;

  void publish_cam1_cloud(CloudMessage & message) override;
  void publish_cam2_cloud(CloudMessage & message) override;
  void publish_depth_image(ImageMessage & message) override;
  void publish_color_image(ImageMessage & message) override;
  void publish_converted_cloud(CloudMessage & message) override;

private:
  FramePublishers publishers_;
};

/// @brief Whether anyone, in this process or another, subscribes to what `publisher` sends.
bool has_subscription(const rclcpp::PublisherBase & publisher);

}  // namespace tavrinox_camera_convertor
