// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// ROS image messages as the core reads them, without a middleware.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include <sensor_msgs/msg/image.hpp>

#include "tavrinox_camera_convertor/geometry/frame_error.hpp"
#include "tavrinox_camera_convertor/ros/camera_convertor.hpp"
#include "tavrinox_camera_convertor/ros/ros_message_conversions.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

std::shared_ptr<sensor_msgs::msg::Image> depth_message(
  std::uint32_t width, std::uint32_t height, const std::vector<std::uint16_t> & mm)
{
  auto image = std::make_shared<sensor_msgs::msg::Image>();
  image->width = width;
  image->height = height;
  image->encoding = "16UC1";
  image->step = 2 * width;
  image->data.resize(2 * mm.size());
  std::memcpy(image->data.data(), mm.data(), image->data.size());
  return image;
}

TEST(MessageConversions, DepthMessageBackProjectsInPixelOrder)
{
  // Row-major 0, 1000, 0, 2000 with unit focal lengths: (1, 0, 1) from row 0, then (2, 2, 2).
  const auto message = depth_message(2, 2, {0, 1000, 0, 2000});
  const pcl::PointCloud<pcl::PointXYZ>::Ptr cloud =
    depth_to_cloud(
    std::shared_ptr<const sensor_msgs::msg::Image>(message),
    {1.0f, 1.0f, 0.0f, 0.0f});
  ASSERT_EQ(cloud->size(), 2u);
  EXPECT_EQ(cloud->width, 2u);
  EXPECT_EQ(cloud->height, 1u);
  EXPECT_EQ((*cloud)[0].x, 1.0f);
  EXPECT_EQ((*cloud)[0].z, 1.0f);
  EXPECT_EQ((*cloud)[1].x, 2.0f);
  EXPECT_EQ((*cloud)[1].y, 2.0f);
  EXPECT_EQ((*cloud)[1].z, 2.0f);
}

TEST(MessageConversions, ADepthMessageShorterThanItsHeaderIsRefused)
{
  auto message = depth_message(4, 4, std::vector<std::uint16_t>(16, 500));
  message->data.resize(10);
  EXPECT_THROW(
    depth_to_cloud(
      std::shared_ptr<const sensor_msgs::msg::Image>(
        message), {1.0f, 1.0f, 0.0f, 0.0f}),
    FrameError);
}

TEST(MessageConversions, ImageViewSeesTheMessagesOwnBytes)
{
  auto message = depth_message(3, 1, {1, 2, 3});
  message->is_bigendian = 1;
  const ImageView view = image_view(*message);
  EXPECT_EQ(view.data, message->data.data());
  EXPECT_EQ(view.size, 6u);
  EXPECT_EQ(view.step, 6u);
  EXPECT_EQ(view.encoding, "16UC1");
  EXPECT_TRUE(view.is_bigendian);
}

}  // namespace
}  // namespace tavrinox_camera_convertor
