// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "color_image_publisher.hpp"

#include <exception>
#include <string>

#include "tavrinox_camera_convertor/geometry/image.hpp"

namespace tavrinox_camera_convertor
{

std::string ColorImagePublisher::getTransportName() const
{
  return kColorImageTransport;
}

void ColorImagePublisher::publish(
  const sensor_msgs::msg::Image & image, const PublishFn & publish_fn) const
{
  const rclcpp::Logger logger = rclcpp::get_logger("tavrinox_color_image_transport");
  if (!color_layout_of(image.encoding)) {
    RCLCPP_ERROR_THROTTLE(
      logger, log_clock_, 5000,
      "%s: not sent: tavrinox_color carries 8-bit colour images (rgb8, bgr8, rgba8, bgra8), not "
      "\"%s\"", getTopic().c_str(), image.encoding.c_str());
    return;
  }
  sensor_msgs::msg::CompressedImage compressed;
  compressed.header = image.header;
  compressed.format = image.encoding + "; " + kColorImageTransport;
  try {
    const std::lock_guard<std::mutex> lock(mutex_);
    encoder_.encode(view_of_message(image), compressed.data);
  } catch (const std::exception & error) {
    RCLCPP_ERROR_THROTTLE(
      logger, log_clock_, 5000, "%s: not sent: %s", getTopic().c_str(), error.what());
    return;
  }
  publish_fn(compressed);
}

}  // namespace tavrinox_camera_convertor
