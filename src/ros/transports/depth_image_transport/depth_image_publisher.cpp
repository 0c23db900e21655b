// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "depth_image_publisher.hpp"

#include <exception>
#include <string>

#include "tavrinox_camera_convertor/geometry/depth_pixels.hpp"
#include "tavrinox_camera_convertor/geometry/image.hpp"

namespace tavrinox_camera_convertor
{

std::string DepthImagePublisher::getTransportName() const
{
  return kDepthImageTransport;
}

void DepthImagePublisher::publish(
  const sensor_msgs::msg::Image & image, const PublishFn & publish_fn) const
{
  const rclcpp::Logger logger = rclcpp::get_logger("tavrinox_depth_image_transport");
  if (image.encoding != "16UC1" && image.encoding != "mono16") {
    RCLCPP_ERROR_THROTTLE(
      logger, log_clock_, 5000,
      "%s: not sent: tavrinox_depth carries 16-bit depth images (16UC1, mono16), not \"%s\"",
      getTopic().c_str(), image.encoding.c_str());
    return;
  }
  sensor_msgs::msg::CompressedImage compressed;
  compressed.header = image.header;
  compressed.format = image.encoding + "; " + kDepthImageTransport;
  try {
    const std::lock_guard<std::mutex> lock(mutex_);
    const DepthPixels depth(view_of_message(image), getTopic(), scratch_);
    encoder_.encode(depth, compressed.data);
  } catch (const std::exception & error) {
    RCLCPP_ERROR_THROTTLE(
      logger, log_clock_, 5000, "%s: not sent: %s", getTopic().c_str(), error.what());
    return;
  }
  publish_fn(compressed);
}

}  // namespace tavrinox_camera_convertor
