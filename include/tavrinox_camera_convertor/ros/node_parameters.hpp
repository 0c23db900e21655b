// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include <string>

#include <rclcpp/rclcpp.hpp>

namespace tavrinox_camera_convertor
{

/// The QoS reliability of the image and camera info subscriptions.
enum class InputReliability {reliable, best_effort};
/// Where the cameras' intrinsics come from.
enum class IntrinsicsSource {config, camera_info};
/// Where the cameras' poses in the arm frame come from.
enum class ExtrinsicsSource {config, tf};
/// What the outputs are stamped with.
enum class OutputStamp {now, acquisition};

/// The node's own parameters, all read once at start. Defaults give the node as it always was.
struct NodeParameters
{
  std::string config_file;     ///< empty: the package's share/.../config/camera_config.yaml
  std::string camera_1_frame;  ///< empty: none
  std::string camera_2_frame;  ///< empty: none
  double max_set_interval_s = -1.0;
  InputReliability input_reliability = InputReliability::reliable;
  IntrinsicsSource intrinsics_source = IntrinsicsSource::config;
  std::string camera_info_topic_1;  ///< empty: the depth topic's sibling "camera_info"
  std::string camera_info_topic_2;
  ExtrinsicsSource extrinsics_source = ExtrinsicsSource::config;
  double tf_timeout_s = 0.1;
  OutputStamp output_stamp = OutputStamp::now;
};

/**
 * @brief Declares (read-only) and reads the node's parameters, checking each.
 * @throws std::invalid_argument naming the parameter whose value is of the wrong type or outside
 *         the values it takes
 */
NodeParameters read_node_parameters(rclcpp::Node & node);

/// @brief The "camera_info" topic beside `image_topic`, as image_transport names it.
std::string camera_info_topic_beside(const std::string & image_topic);

}  // namespace tavrinox_camera_convertor
