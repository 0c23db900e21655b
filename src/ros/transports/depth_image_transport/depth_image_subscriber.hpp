// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <image_transport/simple_subscriber_plugin.hpp>
#include <rclcpp/rclcpp.hpp>
#include <sensor_msgs/msg/compressed_image.hpp>
#include <sensor_msgs/msg/image.hpp>

#include "tavrinox_camera_convertor/codec/depth_image_codec.hpp"

namespace tavrinox_camera_convertor
{

/**
 * @brief Rebuilds a depth image sent as "tavrinox_depth": the same header, encoding, size and
 *        millimetres, rows without padding in this machine's byte order.
 *
 * A message it cannot decode is dropped with a log line at most every five seconds, and the
 * subscription goes on: a bad message never reaches the user's callback.
 */
class DepthImageSubscriber
  : public image_transport::SimpleSubscriberPlugin<sensor_msgs::msg::CompressedImage>
{
public:
  std::string getTransportName() const override;

  /**
   * @brief The image `compressed` carries.
   * @throws CloudCodecError for another format, or data that is not a whole, intact payload
   */
  std::shared_ptr<sensor_msgs::msg::Image> decode(
    const sensor_msgs::msg::CompressedImage & compressed);

protected:
  void internalCallback(
    const std::shared_ptr<const sensor_msgs::msg::CompressedImage> & message,
    const Callback & user_callback) override;

private:
  DepthImageDecoder decoder_;
  std::vector<std::uint16_t> millimetres_;
  rclcpp::Clock log_clock_{RCL_STEADY_TIME};
};

}  // namespace tavrinox_camera_convertor
