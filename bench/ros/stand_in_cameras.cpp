// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "stand_in_cameras.hpp"

#include <cstddef>
#include <cstring>

namespace tavrinox_camera_convertor
{

using sensor_msgs::msg::Image;

std::unique_ptr<Image> blank_image(
  std::uint32_t width, std::uint32_t height, const std::string & encoding,
  std::uint32_t bytes_per_pixel)
{
  auto image = std::make_unique<Image>();
  image->width = width;
  image->height = height;
  image->encoding = encoding;
  image->step = width * bytes_per_pixel;
  image->data.resize(static_cast<std::size_t>(image->step) * height);
  return image;
}

std::unique_ptr<Image> depth_image(
  std::uint32_t width, std::uint32_t height, const std::vector<std::uint16_t> & mm)
{
  auto image = blank_image(width, height, "16UC1", 2);
  std::memcpy(image->data.data(), mm.data(), image->data.size());
  return image;
}

std::unique_ptr<Image> pattern_colour_image(std::uint32_t width, std::uint32_t height)
{
  auto image = blank_image(width, height, "rgb8", 3);
  for (std::size_t k = 0; k < image->data.size(); ++k) {
    image->data[k] = static_cast<std::uint8_t>(k * 31 / 7);
  }
  return image;
}

std::vector<rclcpp::Publisher<Image>::SharedPtr> camera_publishers(
  rclcpp::Node & node, const CameraConfig & config)
{
  std::vector<rclcpp::Publisher<Image>::SharedPtr> publishers;
  // Keep-last 10, reliable: what the converter subscribes with.
  for (const std::string & topic :
    {config.rgb_topic_1, config.depth_topic_1, config.rgb_topic_2, config.depth_topic_2})
  {
    publishers.push_back(node.create_publisher<Image>(topic, 10));
  }
  return publishers;
}

}  // namespace tavrinox_camera_convertor
