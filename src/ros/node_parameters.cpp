// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "tavrinox_camera_convertor/ros/node_parameters.hpp"

#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <stdexcept>
#include <utility>

#include <image_transport/camera_common.hpp>

#include "tavrinox_camera_convertor/geometry/camera_frames.hpp"
#include "tavrinox_camera_convertor/pairing/pairing_bound.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

/// A parameter's value: the override it was declared with at start, or `fallback`.
rclcpp::ParameterValue read_only_parameter(
  rclcpp::Node & node, const std::string & name, const rclcpp::ParameterValue & fallback,
  const std::string & description)
{
  if (node.has_parameter(name)) {
    return node.get_parameter(name).get_parameter_value();
  }
  rcl_interfaces::msg::ParameterDescriptor descriptor;
  descriptor.description = description;
  descriptor.read_only = true;
  return node.declare_parameter(name, fallback, descriptor);
}

std::string string_parameter(
  rclcpp::Node & node, const std::string & name, const std::string & description,
  const std::string & fallback = std::string())
{
  const rclcpp::ParameterValue value =
    read_only_parameter(node, name, rclcpp::ParameterValue(fallback), description);
  if (value.get_type() != rclcpp::ParameterType::PARAMETER_STRING) {
    throw std::invalid_argument("parameter " + name + " must be a string");
  }
  return value.get<std::string>();
}

/// Seconds may be written as a whole number (`max_set_interval:=0`) or a decimal.
double seconds_parameter(
  rclcpp::Node & node, const std::string & name, double fallback, const std::string & description)
{
  const rclcpp::ParameterValue value =
    read_only_parameter(node, name, rclcpp::ParameterValue(fallback), description);
  switch (value.get_type()) {
    case rclcpp::ParameterType::PARAMETER_DOUBLE:
      return value.get<double>();
    case rclcpp::ParameterType::PARAMETER_INTEGER:
      return static_cast<double>(value.get<std::int64_t>());
    default:
      throw std::invalid_argument("parameter " + name + " must be a number of seconds");
  }
}

/// One of a few words; the first is the default.
template<typename Choice>
Choice choice_parameter(
  rclcpp::Node & node, const std::string & name, const std::string & description,
  std::initializer_list<std::pair<const char *, Choice>> choices)
{
  const std::string value = string_parameter(node, name, description, choices.begin()->first);
  std::string words;
  for (const auto & [word, choice] : choices) {
    if (value == word) {
      return choice;
    }
    words += std::string(words.empty() ? "" : " or ") + word;
  }
  throw std::invalid_argument(
          "parameter " + name + " = \"" + value + "\" is not one of its values: " + words);
}

}  // namespace

NodeParameters read_node_parameters(rclcpp::Node & node)
{
  NodeParameters p;
  p.config_file = string_parameter(
    node, "config_file",
    "The camera configuration (YAML) to read at start; empty: the package's "
    "share/tavrinox_camera_convertor/config/camera_config.yaml");
  p.camera_1_frame = string_parameter(
    node, "camera_1_frame",
    "TF frame of camera 1: published on /tf_static from the arm frame and carried by both "
    "images and the camera info (with extrinsics_source tf: looked up instead of the depth "
    "image's frame id); empty: none");
  p.camera_2_frame = string_parameter(
    node, "camera_2_frame",
    "TF frame of camera 2, published on /tf_static from the arm frame (with extrinsics_source "
    "tf: looked up instead of the depth image's frame id); empty: none");
  // Checked before anything is read or subscribed; against the arm frame once it is known.
  for (const auto & [name, frame] :
    {std::pair<const char *, const std::string &>{"camera_1_frame", p.camera_1_frame},
      std::pair<const char *, const std::string &>{"camera_2_frame", p.camera_2_frame}})
  {
    if (!frame.empty()) {
      require_valid_frame_id(name, frame);
    }
  }
  p.max_set_interval_s = seconds_parameter(
    node, PairingBound::kParameter, -1.0,
    "Seconds a paired set's four stamps may span: negative learns half the shortest frame "
    "period of the inputs, 0 pairs whatever the spread, positive fixes the bound");
  p.input_reliability = choice_parameter<InputReliability>(
    node, "input_reliability",
    "QoS reliability of the image (and camera info) subscriptions: reliable, or best_effort "
    "for drivers that publish with sensor-data QoS",
    {{"reliable", InputReliability::reliable}, {"best_effort", InputReliability::best_effort}});
  p.intrinsics_source = choice_parameter<IntrinsicsSource>(
    node, "intrinsics_source",
    "Where the cameras' intrinsics and lens distortion come from: config (the YAML file) or "
    "camera_info (the drivers' camera info topics)",
    {{"config", IntrinsicsSource::config}, {"camera_info", IntrinsicsSource::camera_info}});
  p.camera_info_topic_1 = string_parameter(
    node, "camera_info_topic_1",
    "Camera 1's camera info topic, with intrinsics_source camera_info; empty: camera_info "
    "beside its depth topic");
  p.camera_info_topic_2 = string_parameter(
    node, "camera_info_topic_2",
    "Camera 2's camera info topic, with intrinsics_source camera_info; empty: camera_info "
    "beside its depth topic");
  p.extrinsics_source = choice_parameter<ExtrinsicsSource>(
    node, "extrinsics_source",
    "Where the cameras' poses in the arm frame come from: config (the YAML file) or tf "
    "(looked up at each depth image's stamp)",
    {{"config", ExtrinsicsSource::config}, {"tf", ExtrinsicsSource::tf}});
  p.tf_timeout_s = seconds_parameter(
    node, "tf_timeout", 0.1,
    "Seconds a set waits for a transform that TF does not have yet, with extrinsics_source tf");
  if (!std::isfinite(p.tf_timeout_s) || p.tf_timeout_s < 0.0 || p.tf_timeout_s > 60.0) {
    throw std::invalid_argument(
            "parameter tf_timeout = " + std::to_string(p.tf_timeout_s) +
            " must be from 0 to 60 seconds");
  }
  p.output_stamp = choice_parameter<OutputStamp>(
    node, "output_stamp",
    "What the outputs are stamped with: now (when each is made) or acquisition (the stamp of "
    "the image each was made from)",
    {{"now", OutputStamp::now}, {"acquisition", OutputStamp::acquisition}});
  return p;
}

std::string camera_info_topic_beside(const std::string & image_topic)
{
  return image_transport::getCameraInfoTopic(image_topic);
}

}  // namespace tavrinox_camera_convertor
