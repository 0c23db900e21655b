// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "color_image_subscriber.hpp"

#include <exception>
#include <optional>
#include <string>

#include "color_image_publisher.hpp"
#include "tavrinox_camera_convertor/codec/cloud_codec_error.hpp"

namespace tavrinox_camera_convertor
{

std::string ColorImageSubscriber::getTransportName() const
{
  return kColorImageTransport;
}

std::shared_ptr<sensor_msgs::msg::Image> ColorImageSubscriber::decode(
  const sensor_msgs::msg::CompressedImage & compressed)
{
  const std::string suffix = std::string("; ") + kColorImageTransport;
  const std::string & format = compressed.format;
  const bool tagged = format.size() > suffix.size() &&
    format.compare(format.size() - suffix.size(), suffix.size(), suffix) == 0;
  const std::string encoding = tagged ? format.substr(0, format.size() - suffix.size()) : "";
  const std::optional<ColorLayout> said = color_layout_of(encoding);
  if (!said) {
    throw CloudCodecError(
            "format \"" + format + "\" is not \"<rgb8, bgr8, rgba8 or bgra8>; tavrinox_color\"");
  }
  auto image = std::make_shared<sensor_msgs::msg::Image>();
  const ColorLayout layout = decoder_.decode(
    compressed.data.data(), compressed.data.size(), image->width, image->height, image->data);
  if (layout != *said) {
    throw CloudCodecError(
            std::string("the payload holds a ") + encoding_of(layout) + " image, its format says " +
            encoding);
  }
  image->header = compressed.header;
  image->encoding = encoding;
  image->is_bigendian = 0;
  image->step = channels_of(layout) * image->width;
  return image;
}

void ColorImageSubscriber::subscribeImpl(
  rclcpp::Node * node, const std::string & base_topic, const Callback & callback,
  rmw_qos_profile_t custom_qos, rclcpp::SubscriptionOptions options)
{
  subscribeImplWithOptions(node, base_topic, callback, custom_qos, options);
}

void ColorImageSubscriber::internalCallback(
  const std::shared_ptr<const sensor_msgs::msg::CompressedImage> & message,
  const Callback & user_callback)
{
  std::shared_ptr<sensor_msgs::msg::Image> image;
  try {
    image = decode(*message);
  } catch (const std::exception & error) {
    // One broken publisher must not flood the consumer's log at camera rate.
    RCLCPP_ERROR_THROTTLE(
      rclcpp::get_logger("tavrinox_color_image_transport"), log_clock_, 5000,
      "Dropped an image from %s: %s", getTopic().c_str(), error.what());
    return;
  }
  user_callback(image);
}

}  // namespace tavrinox_camera_convertor
