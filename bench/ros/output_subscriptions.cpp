// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "output_subscriptions.hpp"

#include <cstddef>
#include <utility>

#include "output_topics.hpp"

namespace tavrinox_camera_convertor
{

std::vector<rclcpp::SubscriptionBase::SharedPtr> subscribe_outputs(
  rclcpp::Node & node, const rclcpp::QoS & qos, const rclcpp::CallbackGroup::SharedPtr & group,
  const ImageOutputCallback & on_image, const CloudOutputCallback & on_cloud)
{
  using sensor_msgs::msg::Image;
  using sensor_msgs::msg::PointCloud2;
  rclcpp::SubscriptionOptions options;
  options.callback_group = group;
  std::vector<rclcpp::SubscriptionBase::SharedPtr> subscriptions;
  for (std::size_t k = 0; k < kOutputTopics.size(); ++k) {
    const auto kind = static_cast<OutputKind>(k);
    if (kind == OutputKind::depth_image || kind == OutputKind::color_image) {
      subscriptions.push_back(
        node.create_subscription<Image>(
          kOutputTopics[k], qos, [on_image, kind](Image::UniquePtr image) {
            on_image(kind, std::move(image));
          }, options));
    } else {
      subscriptions.push_back(
        node.create_subscription<PointCloud2>(
          kOutputTopics[k], qos, [on_cloud, kind](PointCloud2::UniquePtr cloud) {
            on_cloud(kind, std::move(cloud));
          }, options));
    }
  }
  return subscriptions;
}

}  // namespace tavrinox_camera_convertor
