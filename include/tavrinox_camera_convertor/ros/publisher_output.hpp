// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include <rclcpp/rclcpp.hpp>
#include <sensor_msgs/msg/camera_info.hpp>
#include <sensor_msgs/msg/image.hpp>
#include <sensor_msgs/msg/point_cloud2.hpp>

#include "tavrinox_camera_convertor/geometry/camera_info.hpp"
#include "tavrinox_camera_convertor/pipeline/frame_output.hpp"
#include "tavrinox_camera_convertor/ros/transport_publishers.hpp"

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

/// What goes out beside the five outputs: the completed depth image's camera info, and every
/// output's compressed subtopics.
struct CompanionPublishers
{
  rclcpp::Publisher<sensor_msgs::msg::CameraInfo> & depth_camera_info;
  const PinholeCameraInfo & camera_1;  ///< camera 1's calibration; the size is each frame's
  TransportPublishers & transports;
};

/**
 * Hands a frame's outputs to the node's publishers. An output is wanted when its topic, one of
 * its subtopics or, for the completed depth image, its camera info has a subscription, and each
 * goes only where someone listens.
 */
class PublisherOutput : public FrameOutput
{
public:
  /// @brief Publishes through `publishers` and `companions`, which must outlive this output.
  PublisherOutput(const FramePublishers & publishers, const CompanionPublishers & companions);

  /// @brief The outputs with a subscription anywhere, in this process or another.
  OutputSet wanted() const override;

  void note_cloud_sources(const CloudSources & sources) override;
  void publish_cam1_cloud(CloudMessage & message) override;
  void publish_cam2_cloud(CloudMessage & message) override;
  void publish_depth_image(ImageMessage & message) override;
  void publish_color_image(ImageMessage & message) override;
  void publish_converted_cloud(CloudMessage & message) override;

private:
  void send_cloud(
    OutputKind kind, CloudMessage & message,
    rclcpp::Publisher<sensor_msgs::msg::PointCloud2> & publisher);
  void send_image(
    OutputKind kind, ImageMessage & message,
    rclcpp::Publisher<sensor_msgs::msg::Image> & publisher);

  FramePublishers publishers_;
  CompanionPublishers companions_;
};

/// @brief Whether anyone, in this process or another, subscribes to what `publisher` sends.
bool has_subscription(const rclcpp::PublisherBase & publisher);

/// @brief The camera info message of `info` for an image of `width` x `height` with `header`.
sensor_msgs::msg::CameraInfo camera_info_message(
  const PinholeCameraInfo & info, const Header & header, std::uint32_t width,
  std::uint32_t height);

}  // namespace tavrinox_camera_convertor
