// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "depth_cloud_subscriber.hpp"

#include <exception>
#include <utility>

#include "tavrinox_camera_convertor/ros/transports/compressed_cloud_message.hpp"

namespace tavrinox_camera_convertor
{

std::string DepthCloudSubscriber::getTransportName() const
{
  return kDepthCloudTransport;
}

std::string DepthCloudSubscriber::getDataType() const
{
  return "point_cloud_interfaces/msg/CompressedPointCloud2";
}

void DepthCloudSubscriber::declareParameters()
{
}

DepthCloudSubscriber::DecodeResult DepthCloudSubscriber::decodeTyped(
  const point_cloud_interfaces::msg::CompressedPointCloud2 & compressed) const
{
  try {
    auto cloud = std::make_shared<sensor_msgs::msg::PointCloud2>();
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      decode_compressed_cloud(compressed, decoder_, *cloud);
    }
    return sensor_msgs::msg::PointCloud2::ConstSharedPtr(std::move(cloud));
  } catch (const std::exception & error) {
    return tl::make_unexpected(std::string(error.what()));
  }
}

void DepthCloudSubscriber::callback(
  const std::shared_ptr<const point_cloud_interfaces::msg::CompressedPointCloud2> & message,
  const Callback & user_callback)
{
  const DecodeResult decoded = decodeTyped(*message);
  if (!decoded) {
    // One broken publisher must not flood the consumer's log at camera rate.
    RCLCPP_ERROR_THROTTLE(
      getLogger(), log_clock_, 5000, "Dropped a cloud from %s: %s", getTopic().c_str(),
      decoded.error().c_str());
    return;
  }
  if (decoded.value()) {
    user_callback(decoded.value().value());
  }
}

}  // namespace tavrinox_camera_convertor
