// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "tavrinox_camera_convertor/ros/ros_message_conversions.hpp"

#include <cv_bridge/cv_bridge.h>
#include <pcl_conversions/pcl_conversions.h>

#include <cstring>
#include <limits>
#include <memory>
#include <utility>
#include <vector>

#include <sensor_msgs/image_encodings.hpp>

#include "tavrinox_camera_convertor/geometry/frame_error.hpp"
#include "tavrinox_camera_convertor/pipeline/color_conversion.hpp"

namespace tavrinox_camera_convertor
{

ImageView image_view(const sensor_msgs::msg::Image & image)
{
  return view_of_message(image);
}

namespace
{

template<typename Message>
void set_header(const Header & header, Message & message)
{
  message.header.frame_id = header.frame_id;
  message.header.stamp.sec = header.stamp.sec;
  message.header.stamp.nanosec = header.stamp.nanosec;
}

/**
 * Sends `message`, whose buffer is on loan from the pipeline. A subscription in this process gets the message itself, buffer and all, without a copy;
 * the pipeline then makes a new buffer for its next frame. Otherwise the middleware serialises
 * it during publish() and the buffer goes back, so a steady stream allocates nothing.
 */
template<typename Message>
void publish_lent(
  std::unique_ptr<Message> message, rclcpp::Publisher<Message> & publisher,
  std::vector<std::uint8_t> & buffer)
{
  if (publisher.get_intra_process_subscription_count() > 0) {
    publisher.publish(std::move(message));
    return;
  }
  publisher.publish(*message);
  buffer.swap(message->data);
}

}  // namespace

void publish_cloud(
  CloudMessage & message, rclcpp::Publisher<sensor_msgs::msg::PointCloud2> & publisher)
{
  auto ros_message = std::make_unique<sensor_msgs::msg::PointCloud2>();
  pcl_conversions::moveFromPCL(message.cloud, *ros_message);
  set_header(message.header, *ros_message);
  publish_lent(std::move(ros_message), publisher, message.cloud.data);
}

void publish_image(ImageMessage & message, rclcpp::Publisher<sensor_msgs::msg::Image> & publisher)
{
  auto ros_message = std::make_unique<sensor_msgs::msg::Image>();
  set_header(message.header, *ros_message);
  ros_message->height = message.height;
  ros_message->width = message.width;
  ros_message->encoding = message.encoding;
  ros_message->is_bigendian = message.is_bigendian;
  ros_message->step = message.step;
  ros_message->data.swap(message.data);
  publish_lent(std::move(ros_message), publisher, message.data);
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
  // The 8-bit layouts cameras send are converted straight into `out`, with the very OpenCV
  // operations cv_bridge applies, instead of through cv_bridge's copy.
  namespace enc = sensor_msgs::image_encodings;
  if (image.encoding == enc::RGB8 || image.encoding == enc::BGR8 || image.encoding == enc::RGBA8 ||
    image.encoding == enc::BGRA8 || image.encoding == enc::MONO8)
  {
    convert_image_to_rgb8(image_view(image), out);
    return;
  }
  out.height = image.height;
  out.width = image.width;
  out.step = 0;
  out.data.clear();
  if (image.width == 0 || image.height == 0) {
    return;
  }
  // cv_bridge trusts the header; rows beyond the data or sizes beyond an int must not reach it.
  const std::size_t bytes_per_pixel =
    static_cast<std::size_t>(enc::numChannels(image.encoding)) *
    static_cast<std::size_t>(enc::bitDepth(image.encoding)) / 8;
  require_rows_inside_data(image_view(image), bytes_per_pixel, "camera 1", "colour image");
  constexpr std::uint32_t kLargest = std::numeric_limits<int>::max() / 8;
  if (image.width > kLargest || image.height > kLargest ||
    image.step > static_cast<std::uint32_t>(std::numeric_limits<int>::max()))
  {
    throw FrameError(
            "camera 1 colour image: " + std::to_string(image.width) + " x " +
            std::to_string(image.height) + " pixels is too large");
  }

  const cv::Mat pixels = cv_bridge::toCvCopy(image_, enc::RGB8)->image;
  out.height = static_cast<std::uint32_t>(pixels.rows);
  out.width = static_cast<std::uint32_t>(pixels.cols);
  out.step = static_cast<std::uint32_t>(pixels.cols * pixels.elemSize());
  out.data.resize(static_cast<std::size_t>(out.step) * out.height);
  for (int row = 0; row < pixels.rows; ++row) {
    std::memcpy(
      out.data.data() + static_cast<std::size_t>(row) * out.step, pixels.ptr(row), out.step);
  }
}

}  // namespace tavrinox_camera_convertor
