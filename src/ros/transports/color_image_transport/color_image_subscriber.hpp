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

#include "tavrinox_camera_convertor/codec/color_image_codec.hpp"

namespace tavrinox_camera_convertor
{

/**
 * @brief Rebuilds a colour image sent as "tavrinox_color": the same header, encoding, size and
 *        bytes, rows without padding.
 *
 * A message it cannot decode (truncated, of another size, version or layout than its format
 * says, or that does not match its checksum) is dropped with a log line at most every five
 * seconds, and the subscription goes on: a bad message never reaches the user's callback.
 */
class ColorImageSubscriber
  : public image_transport::SimpleSubscriberPlugin<sensor_msgs::msg::CompressedImage>
{
public:
  std::string getTransportName() const override;

  /**
   * @brief The image `compressed` carries.
   * @throws CloudCodecError for another format, or data that is not a whole, intact payload of
   *         the format's encoding
   */
  std::shared_ptr<sensor_msgs::msg::Image> decode(
    const sensor_msgs::msg::CompressedImage & compressed);

protected:
  using image_transport::SimpleSubscriberPlugin<sensor_msgs::msg::CompressedImage>::subscribeImpl;

  /// @brief Subscribes with `options`: image_transport's own republisher subscribes this way, and
  ///        the base class would log an error before subscribing without them.
  void subscribeImpl(
    rclcpp::Node * node, const std::string & base_topic, const Callback & callback,
    rmw_qos_profile_t custom_qos, rclcpp::SubscriptionOptions options) override;

  void internalCallback(
    const std::shared_ptr<const sensor_msgs::msg::CompressedImage> & message,
    const Callback & user_callback) override;

private:
  ColorImageDecoder decoder_;
  rclcpp::Clock log_clock_{RCL_STEADY_TIME};
};

}  // namespace tavrinox_camera_convertor
