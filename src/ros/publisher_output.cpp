// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "tavrinox_camera_convertor/ros/publisher_output.hpp"

#include "tavrinox_camera_convertor/ros/ros_message_conversions.hpp"

namespace tavrinox_camera_convertor
{

PublisherOutput::PublisherOutput(
  const FramePublishers & publishers, const CompanionPublishers & companions)
: publishers_(publishers), companions_(companions)
{
}

bool has_subscription(const rclcpp::PublisherBase & publisher)
{
  // Both counts: a subscription in this process may be served without the middleware.
  return publisher.get_subscription_count() > 0 ||
         publisher.get_intra_process_subscription_count() > 0;
}

OutputSet PublisherOutput::wanted() const
{
  OutputSet wanted = companions_.transports.listened();
  const auto add_if_heard = [&wanted](const rclcpp::PublisherBase & publisher, OutputKind kind) {
      if (has_subscription(publisher)) {
        wanted = wanted.with(kind);
      }
    };
  add_if_heard(publishers_.cam1_cloud, OutputKind::cam1_cloud);
  add_if_heard(publishers_.cam2_cloud, OutputKind::cam2_cloud);
  add_if_heard(publishers_.depth_image, OutputKind::depth_image);
  add_if_heard(companions_.depth_camera_info, OutputKind::depth_image);
  add_if_heard(publishers_.color_image, OutputKind::color_image);
  add_if_heard(publishers_.converted_cloud, OutputKind::converted_cloud);
  return wanted;
}

void PublisherOutput::note_cloud_sources(const CloudSources & sources)
{
  companions_.transports.note_cloud_sources(sources);
}

void PublisherOutput::send_cloud(
  OutputKind kind, CloudMessage & message,
  rclcpp::Publisher<sensor_msgs::msg::PointCloud2> & publisher)
{
  // The subtopics first: the raw publication may take the buffer along.
  companions_.transports.send_cloud(kind, message);
  if (has_subscription(publisher)) {
    publish_cloud(message, publisher);
  }
}

void PublisherOutput::send_image(
  OutputKind kind, ImageMessage & message, rclcpp::Publisher<sensor_msgs::msg::Image> & publisher)
{
  companions_.transports.send_image(kind, message);
  if (has_subscription(publisher)) {
    publish_image(message, publisher);
  }
}

void PublisherOutput::publish_cam1_cloud(CloudMessage & message)
{
  send_cloud(OutputKind::cam1_cloud, message, publishers_.cam1_cloud);
}

void PublisherOutput::publish_cam2_cloud(CloudMessage & message)
{
  send_cloud(OutputKind::cam2_cloud, message, publishers_.cam2_cloud);
}

void PublisherOutput::publish_depth_image(ImageMessage & message)
{
  // Read before the image goes: its buffer may leave with it.
  const Header header = message.header;
  const std::uint32_t width = message.width;
  const std::uint32_t height = message.height;
  send_image(OutputKind::depth_image, message, publishers_.depth_image);
  // Right after its image, with the same header, so consumers pairing them by stamp get pairs.
  if (has_subscription(companions_.depth_camera_info)) {
    companions_.depth_camera_info.publish(
      camera_info_message(companions_.camera_1, header, width, height));
  }
}

void PublisherOutput::publish_color_image(ImageMessage & message)
{
  send_image(OutputKind::color_image, message, publishers_.color_image);
}

void PublisherOutput::publish_converted_cloud(CloudMessage & message)
{
  send_cloud(OutputKind::converted_cloud, message, publishers_.converted_cloud);
}

sensor_msgs::msg::CameraInfo camera_info_message(
  const PinholeCameraInfo & info, const Header & header, std::uint32_t width,
  std::uint32_t height)
{
  sensor_msgs::msg::CameraInfo message;
  message.header.frame_id = header.frame_id;
  message.header.stamp.sec = header.stamp.sec;
  message.header.stamp.nanosec = header.stamp.nanosec;
  message.width = width;
  message.height = height;
  message.distortion_model = info.distortion_model;
  message.d.assign(info.d.begin(), info.d.end());
  message.k = info.k;
  message.r = info.r;
  message.p = info.p;
  message.binning_x = info.binning_x;
  message.binning_y = info.binning_y;
  message.roi.x_offset = info.roi[0];
  message.roi.y_offset = info.roi[1];
  message.roi.height = info.roi[2];
  message.roi.width = info.roi[3];
  return message;
}

}  // namespace tavrinox_camera_convertor
