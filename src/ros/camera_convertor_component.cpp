// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// Lets a component container load the node next to the camera drivers and the consumers.
#include <rclcpp_components/register_node_macro.hpp>

#include "tavrinox_camera_convertor/ros/camera_convertor.hpp"

RCLCPP_COMPONENTS_REGISTER_NODE(tavrinox_camera_convertor::CameraConvertor)
