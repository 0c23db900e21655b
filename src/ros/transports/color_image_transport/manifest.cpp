// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include <pluginlib/class_list_macros.hpp>

#include "color_image_plugins.hpp"

PLUGINLIB_EXPORT_CLASS(
  tavrinox_camera_convertor::ColorImagePublisher, image_transport::PublisherPlugin)
PLUGINLIB_EXPORT_CLASS(
  tavrinox_camera_convertor::ColorImageSubscriber, image_transport::SubscriberPlugin)
