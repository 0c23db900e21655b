// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include <pluginlib/class_list_macros.hpp>

#include "depth_image_plugins.hpp"

PLUGINLIB_EXPORT_CLASS(
  tavrinox_camera_convertor::DepthImagePublisher, image_transport::PublisherPlugin)
PLUGINLIB_EXPORT_CLASS(
  tavrinox_camera_convertor::DepthImageSubscriber, image_transport::SubscriberPlugin)
