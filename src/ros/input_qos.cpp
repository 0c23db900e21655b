// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "tavrinox_camera_convertor/ros/input_qos.hpp"

#include <vector>

namespace tavrinox_camera_convertor
{

InputQos::InputQos(rclcpp::Node & node, InputReliability reliability)
: node_(node), reliability_(reliability)
{
}

rmw_qos_profile_t InputQos::profile() const
{
  rmw_qos_profile_t qos = rmw_qos_profile_default;
  if (reliability_ == InputReliability::best_effort) {
    qos.reliability = RMW_QOS_POLICY_RELIABILITY_BEST_EFFORT;
  }
  return qos;
}

rclcpp::SubscriptionOptions InputQos::options_for(const std::string & topic)
{
  rclcpp::SubscriptionOptions options;
  options.event_callbacks.incompatible_qos_callback =
    [this, topic](const rclcpp::QOSRequestedIncompatibleQoSInfo & event) {
      const std::string text = describe(topic, event.last_policy_kind);
      RCLCPP_WARN(node_.get_logger(), "%s", text.c_str());
      const std::lock_guard<std::mutex> lock(mutex_);
      incompatible_[topic] = text;
    };
  return options;
}

std::map<std::string, std::string> InputQos::incompatible() const
{
  const std::lock_guard<std::mutex> lock(mutex_);
  return incompatible_;
}

std::string InputQos::describe(const std::string & topic, rmw_qos_policy_kind_t policy) const
{
  const std::string resolved =
    node_.get_node_topics_interface()->resolve_topic_name(topic);
  if (policy == RMW_QOS_POLICY_RELIABILITY && reliability_ == InputReliability::reliable) {
    return "A publisher of " + resolved + " offers best_effort reliability, which this "
           "reliable subscription cannot receive: nothing from it arrives. Set "
           "input_reliability:=best_effort";
  }
  std::string offered;
  for (const rclcpp::TopicEndpointInfo & publisher : node_.get_publishers_info_by_topic(resolved)) {
    const rmw_qos_profile_t & qos = publisher.qos_profile().get_rmw_qos_profile();
    offered += std::string(offered.empty() ? "" : "; ") + publisher.node_name() + " offers " +
      (qos.reliability == RMW_QOS_POLICY_RELIABILITY_BEST_EFFORT ? "best_effort" : "reliable") +
      ", " +
      (qos.durability ==
      RMW_QOS_POLICY_DURABILITY_TRANSIENT_LOCAL ? "transient_local" : "volatile");
  }
  return "A publisher of " + resolved + " offers a QoS this subscription cannot receive (policy " +
         std::to_string(static_cast<int>(policy)) + (offered.empty() ? "" : ": " + offered) +
         "): nothing from it arrives. Check the driver's QoS and input_reliability";
}

}  // namespace tavrinox_camera_convertor
