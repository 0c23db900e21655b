// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "transport_setup.hpp"

#include <algorithm>
#include <thread>

namespace tavrinox_camera_convertor::transport_setup
{

// At 1280 x 720 the depth image's png alone takes half a frame at 10 Hz, and the other four
// outputs waited behind it on one thread.
std::size_t encoding_threads()
{
  const std::size_t processors = std::thread::hardware_concurrency();
  return std::clamp<std::size_t>(processors / 2, 2, 5);
}

rmw_qos_profile_t output_qos()
{
  rmw_qos_profile_t qos = rmw_qos_profile_default;
  qos.depth = 1;
  return qos;
}

std::string parameter_base(const std::string & topic)
{
  std::string name = topic.front() == '/' ? topic.substr(1) : topic;
  std::replace(name.begin(), name.end(), '/', '.');
  return name;
}

void enable_all_but(
  rclcpp::Node & node, const std::string & topic, const std::vector<std::string> & declared,
  const std::vector<std::string> & left_out)
{
  const std::string name = parameter_base(topic) + ".enable_pub_plugins";
  std::vector<std::string> enabled = declared;
  if (node.has_parameter(name)) {
    enabled = node.get_parameter(name).as_string_array();
  }
  enabled.erase(
    std::remove_if(
      enabled.begin(), enabled.end(), [&left_out](const std::string & transport) {
        return std::find(left_out.begin(), left_out.end(), transport) != left_out.end();
      }),
    enabled.end());
  if (node.has_parameter(name)) {
    node.set_parameter(rclcpp::Parameter(name, enabled));
  } else {
    node.declare_parameter(name, enabled);
  }
}

void default_parameter(rclcpp::Node & node, const std::string & name, std::int64_t value)
{
  if (!node.has_parameter(name)) {
    node.declare_parameter(name, value);
  }
}

std::vector<std::string> without_suffix(std::vector<std::string> names, const std::string & suffix)
{
  for (std::string & name : names) {
    if (name.size() >= suffix.size() &&
      name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
    {
      name.resize(name.size() - suffix.size());
    }
  }
  return names;
}

}  // namespace tavrinox_camera_convertor::transport_setup
