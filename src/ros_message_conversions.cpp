// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "tavrinox_camera_convertor/ros_message_conversions.hpp"

#include <cv_bridge/cv_bridge.h>
#include <pcl_conversions/pcl_conversions.h>

#include <cstring>
#include <limits>
#include <sensor_msgs/image_encodings.hpp>

#include "tavrinox_camera_convertor/frame_error.hpp"

namespace tavrinox_camera_convertor
{

ImageView image_view(const sensor_msgs::msg::Image & image)
{
  return view_of_message(image);
}

void publish_cloud(CloudMessage & message, rclcpp::Publisher<sensor_msgs::msg::PointCloud2> & publisher)
{
  sensor_msgs::msg::PointCloud2 ros_message;
  pcl_conversions::moveFromPCL(message.cloud, ros_message);
  ros_message.header.frame_id = message.header.frame_id;
  ros_message.header.stamp.sec = message.header.stamp.sec;
  ros_message.header.stamp.nanosec = message.header.stamp.nanosec;
  publisher.publish(ros_message);
  // publish() has serialised the message; the buffer goes back for the next frame.
  message.cloud.data.swap(ros_message.data);
}

void publish_image(ImageMessage & message, rclcpp::Publisher<sensor_msgs::msg::Image> & publisher)
{
  sensor_msgs::msg::Image ros_message;
  ros_message.header.frame_id = message.header.frame_id;
  ros_message.header.stamp.sec = message.header.stamp.sec;
  ros_message.header.stamp.nanosec = message.header.stamp.nanosec;
  ros_message.height = message.height;
  ros_message.width = message.width;
  ros_message.encoding = message.encoding;
  ros_message.is_bigendian = message.is_bigendian;
  ros_message.step = message.step;
  ros_message.data.swap(message.data);
  publisher.publish(ros_message);
  message.data.swap(ros_message.data);
}

Stamp RosSystemClock::now()
{
  const builtin_interfaces::msg::Time time = rclcpp::Clock(RCL_SYSTEM_TIME).now();
  Stamp stamp;
  stamp.sec = time.sec;
  stamp.nanosec = time.nanosec;
  return stamp;
}

CvBridgeColorConverter::CvBridgeColorConverter(std::shared_ptr<const sensor_msgs::msg::Image> image)
: image_(std::move(image))
{
}

void CvBridgeColorConverter::convert_to_rgb8(ImageMessage & out) const
{
  const sensor_msgs::msg::Image & image = *image_;
  out.height = image.height;
  out.width = image.width;
  out.step = 0;
  out.data.clear();
  if (image.width == 0 || image.height == 0) {
    return;
  }
  // cv_bridge trusts the header; rows beyond the data or sizes beyond an int must not reach it.
  namespace enc = sensor_msgs::image_encodings;
  const std::size_t bytes_per_pixel =
    static_cast<std::size_t>(enc::numChannels(image.encoding)) * static_cast<std::size_t>(enc::bitDepth(image.encoding)) / 8;
  require_rows_inside_data(image_view(image), bytes_per_pixel, "camera 1", "colour image");
  constexpr std::uint32_t kLargest = std::numeric_limits<int>::max() / 8;
  if (image.width > kLargest || image.height > kLargest || image.step > static_cast<std::uint32_t>(std::numeric_limits<int>::max())) {
    throw FrameError("camera 1 colour image: " + std::to_string(image.width) + " x " + std::to_string(image.height) +
            " pixels is too large");
  }

  const cv::Mat pixels = cv_bridge::toCvCopy(image_, sensor_msgs::image_encodings::RGB8)->image;
  out.height = static_cast<std::uint32_t>(pixels.rows);
  out.width = static_cast<std::uint32_t>(pixels.cols);
  out.step = static_cast<std::uint32_t>(pixels.cols * pixels.elemSize());
  out.data.resize(static_cast<std::size_t>(out.step) * out.height);
  for (int row = 0; row < pixels.rows; ++row) {
    std::memcpy(out.data.data() + static_cast<std::size_t>(row) * out.step, pixels.ptr(row), out.step);
  }
}

}  // namespace tavrinox_camera_convertor
