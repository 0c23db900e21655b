// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "tavrinox_camera_convertor/ros/publisher_output.hpp"

#include "tavrinox_camera_convertor/ros/ros_message_conversions.hpp"

namespace tavrinox_camera_convertor
{

PublisherOutput::PublisherOutput(const FramePublishers & publishers)
: publishers_(publishers)
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
  OutputSet wanted;
  const auto add_if_heard = [&wanted](const rclcpp::PublisherBase & publisher, OutputKind kind) {
      if (has_subscription(publisher)) {
        wanted = wanted.with(kind);
      }
    };
  add_if_heard(publishers_.cam1_cloud, OutputKind::cam1_cloud);
  add_if_heard(publishers_.cam2_cloud, OutputKind::cam2_cloud);
  add_if_heard(publishers_.depth_image, OutputKind::depth_image);
  add_if_heard(publishers_.color_image, OutputKind::color_image);
  add_if_heard(publishers_.converted_cloud, OutputKind::converted_cloud);
  return wanted;
}

void PublisherOutput::publish_cam1_cloud(CloudMessage & message)
{
  publish_cloud(message, publishers_.cam1_cloud);
}

void PublisherOutput::publish_cam2_cloud(CloudMessage & message)
{
  publish_cloud(message, publishers_.cam2_cloud);
}

void PublisherOutput::publish_depth_image(ImageMessage & message)
{
  publish_image(message, publishers_.depth_image);
}

void PublisherOutput::publish_color_image(ImageMessage & message)
{
  publish_image(message, publishers_.color_image);
}

void PublisherOutput::publish_converted_cloud(CloudMessage & message)
{
  publish_cloud(message, publishers_.converted_cloud);
}

}  // namespace tavrinox_camera_convertor
