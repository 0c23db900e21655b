// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "depth_image_subscriber.hpp"

#include <cstring>
#include <exception>
#include <string>

#include "depth_image_publisher.hpp"
#include "tavrinox_camera_convertor/codec/cloud_codec_error.hpp"
#include "tavrinox_camera_convertor/geometry/image.hpp"

namespace tavrinox_camera_convertor
{

std::string DepthImageSubscriber::getTransportName() const
{
  return kDepthImageTransport;
}

std::shared_ptr<sensor_msgs::msg::Image> DepthImageSubscriber::decode(
  const sensor_msgs::msg::CompressedImage & compressed)
{
  const std::string suffix = std::string("; ") + kDepthImageTransport;
  const std::string & format = compressed.format;
  const bool tagged = format.size() > suffix.size() &&
    format.compare(format.size() - suffix.size(), suffix.size(), suffix) == 0;
  const std::string encoding = tagged ? format.substr(0, format.size() - suffix.size()) : "";
  if (encoding != "16UC1" && encoding != "mono16") {
    throw CloudCodecError(
            "format \"" + format + "\" is not \"16UC1; tavrinox_depth\" or "
            "\"mono16; tavrinox_depth\"");
  }
  auto image = std::make_shared<sensor_msgs::msg::Image>();
  decoder_.decode(
    compressed.data.data(), compressed.data.size(), image->width, image->height, millimetres_);
  image->header = compressed.header;
  image->encoding = encoding;
  image->is_bigendian = host_is_bigendian() ? 1 : 0;
  image->step = 2 * image->width;
  image->data.resize(2 * millimetres_.size());
  if (!millimetres_.empty()) {
    std::memcpy(image->data.data(), millimetres_.data(), image->data.size());
  }
  return image;
}

void DepthImageSubscriber::internalCallback(
  const std::shared_ptr<const sensor_msgs::msg::CompressedImage> & message,
  const Callback & user_callback)
{
  std::shared_ptr<sensor_msgs::msg::Image> image;
  try {
    image = decode(*message);
  } catch (const std::exception & error) {
    // One broken publisher must not flood the consumer's log at camera rate.
    RCLCPP_ERROR_THROTTLE(
      rclcpp::get_logger("tavrinox_depth_image_transport"), log_clock_, 5000,
      "Dropped an image from %s: %s", getTopic().c_str(), error.what());
    return;
  }
  user_callback(image);
}

}  // namespace tavrinox_camera_convertor
