// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include <map>
#include <mutex>
#include <string>

#include <rclcpp/rclcpp.hpp>

#include "tavrinox_camera_convertor/ros/node_parameters.hpp"

namespace tavrinox_camera_convertor
{

/**
 * @brief The QoS of the node's inputs, and what it says when a publisher's QoS does not match:
 *        a camera driver that publishes best effort never reaches a reliable subscription, and
 *        without a word the node would simply stay silent.
 */
class InputQos
{
public:
  InputQos(rclcpp::Node & node, InputReliability reliability);

  /// @brief The profile of the image and camera info subscriptions.
  rmw_qos_profile_t profile() const;

  /**
   * @brief Options for the subscription to `topic`: each publisher that appears with a QoS it
   *        cannot receive gets one WARN naming the topic, what the publisher offers and the
   *        parameter that fixes it, and stays listed in incompatible().
   */
  rclcpp::SubscriptionOptions options_for(const std::string & topic);

  /// @brief Each topic with an incompatible publisher, and what was said about it.
  std::map<std::string, std::string> incompatible() const;

private:
  /// @brief The warning for `topic`, whose publisher offers a QoS this subscription refuses.
  std::string describe(const std::string & topic, rmw_qos_policy_kind_t policy) const;

  rclcpp::Node & node_;
  InputReliability reliability_;
  mutable std::mutex mutex_;  ///< the middleware's event threads may report at any time
  std::map<std::string, std::string> incompatible_;
};

}  // namespace tavrinox_camera_convertor
