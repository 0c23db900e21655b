// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include <memory>
#include <mutex>
#include <string>

#include <point_cloud_interfaces/msg/compressed_point_cloud2.hpp>
#include <point_cloud_transport/simple_subscriber_plugin.hpp>
#include <rclcpp/rclcpp.hpp>

#include "tavrinox_camera_convertor/codec/cloud_decoder.hpp"

namespace tavrinox_camera_convertor
{

/**
 * @brief The "tavrinox_depth" transport's subscriber: rebuilds each cloud bit for bit, from the
 *        depth image and camera it travelled as, or from its compressed data.
 *
 * A message it cannot decode is dropped with a log line at most every five seconds, and the
 * subscription goes on: a bad message never reaches the user's callback.
 */
class DepthCloudSubscriber
  : public point_cloud_transport::SimpleSubscriberPlugin<
    point_cloud_interfaces::msg::CompressedPointCloud2>
{
public:
  std::string getTransportName() const override;
  std::string getDataType() const override;
  void declareParameters() override;
  DecodeResult decodeTyped(
    const point_cloud_interfaces::msg::CompressedPointCloud2 & compressed) const override;

protected:
  void callback(
    const std::shared_ptr<const point_cloud_interfaces::msg::CompressedPointCloud2> & message,
    const Callback & user_callback) override;

private:
  mutable std::mutex mutex_;  ///< decodeTyped is const and may be called from any thread
  mutable CloudDecoder decoder_;
  rclcpp::Clock log_clock_{RCL_STEADY_TIME};
};

}  // namespace tavrinox_camera_convertor
