// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "depth_cloud_publisher.hpp"

#include <pcl_conversions/pcl_conversions.h>

#include <exception>

#include "tavrinox_camera_convertor/ros/transports/compressed_cloud_message.hpp"

namespace tavrinox_camera_convertor
{

std::string DepthCloudPublisher::getTransportName() const
{
  return kDepthCloudTransport;
}

std::string DepthCloudPublisher::getDataType() const
{
  return "point_cloud_interfaces/msg/CompressedPointCloud2";
}

void DepthCloudPublisher::declareParameters(const std::string &)
{
}

DepthCloudPublisher::TypedEncodeResult DepthCloudPublisher::encodeTyped(
  const sensor_msgs::msg::PointCloud2 & raw) const
{
  try {
    const pcl::PCLPointCloud2 cloud = to_codec_cloud(raw);
    point_cloud_interfaces::msg::CompressedPointCloud2 message;
    const std::lock_guard<std::mutex> lock(mutex_);
    encoder_.encode_cloud_data(cloud, payload_);
    fill_compressed_cloud(raw.header, cloud, payload_, message);
    return message;
  } catch (const std::exception & error) {
    return tl::make_unexpected(std::string(error.what()));
  }
}

}  // namespace tavrinox_camera_convertor
