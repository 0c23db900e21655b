// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include <pluginlib/class_list_macros.hpp>

#include "depth_cloud_publisher.hpp"
#include "depth_cloud_subscriber.hpp"

PLUGINLIB_EXPORT_CLASS(
  tavrinox_camera_convertor::DepthCloudPublisher, point_cloud_transport::PublisherPlugin)
PLUGINLIB_EXPORT_CLASS(
  tavrinox_camera_convertor::DepthCloudSubscriber, point_cloud_transport::SubscriberPlugin)
