// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// What placing a set's cameras through TF costs: for each set, the lookups the node makes with
// extrinsics_source:=tf (canTransform, then lookupTransform, then the pose checked and turned
// into a matrix) for a camera on the wrist of a seven-joint arm whose joints TF has at 100 Hz,
// and for a camera on a fixed mount, at stamps between the samples.
#include <tf2_ros/buffer.h>
#include <tf2_ros/buffer_interface.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include <rclcpp/rclcpp.hpp>

#include "tavrinox_camera_convertor/geometry/camera_frames.hpp"

namespace
{

geometry_msgs::msg::TransformStamped joint(
  const std::string & parent, const std::string & child, double seconds, double angle)
{
  geometry_msgs::msg::TransformStamped transform;
  transform.header.frame_id = parent;
  transform.child_frame_id = child;
  transform.header.stamp = rclcpp::Time(static_cast<std::int64_t>(seconds * 1e9));
  transform.transform.translation.z = 0.12;
  transform.transform.rotation.z = std::sin(angle / 2);
  transform.transform.rotation.w = std::cos(angle / 2);
  return transform;
}

/// @brief The node's lookup of one camera: false when TF cannot place it.
bool place(
  tf2_ros::Buffer & buffer, const std::string & frame, const builtin_interfaces::msg::Time & stamp)
{
  const tf2::TimePoint time = tf2_ros::fromMsg(stamp);
  std::string error;
  if (!buffer.canTransform("arm_base", frame, time, &error)) {
    return false;
  }
  const auto transform = buffer.lookupTransform("arm_base", frame, time).transform;
  tavrinox_camera_convertor::FramePose pose;
  pose.translation = {transform.translation.x, transform.translation.y, transform.translation.z};
  pose.rotation = {transform.rotation.x, transform.rotation.y, transform.rotation.z,
    transform.rotation.w};
  return tavrinox_camera_convertor::extrinsic_of(pose, frame)(3, 3) == 1.0f;
}

}  // namespace

int main()
{
  tf2_ros::Buffer buffer(std::make_shared<rclcpp::Clock>(RCL_ROS_TIME));
  const std::vector<std::string> links = {
    "arm_base", "link_1", "link_2", "link_3", "link_4", "link_5", "link_6", "link_7"};
  // Ten seconds of the arm moving, each joint sampled at 100 Hz; the cameras' mounts static.
  for (int tick = 0; tick <= 1000; ++tick) {
    const double seconds = 100.0 + tick / 100.0;
    for (std::size_t k = 1; k < links.size(); ++k) {
      buffer.setTransform(joint(links[k - 1], links[k], seconds, 0.3 * k * seconds), "bench");
    }
  }
  buffer.setTransform(joint("link_7", "wrist_camera", 0.0, 0.5), "bench", true);
  buffer.setTransform(joint("arm_base", "fixed_camera", 0.0, 1.0), "bench", true);

  const int sets = 20000;
  int placed = 0;
  const auto started = std::chrono::steady_clock::now();
  for (int set = 0; set < sets; ++set) {
    // Stamps at 30 Hz over the last nine seconds, between the 100 Hz samples.
    const rclcpp::Time stamp(
      static_cast<std::int64_t>((100.5 + (set % 270) / 30.0 + 0.0037) * 1e9));
    placed += place(buffer, "wrist_camera", stamp) && place(buffer, "fixed_camera", stamp);
  }
  const double total_us = std::chrono::duration<double, std::micro>(
    std::chrono::steady_clock::now() - started).count();
  std::printf(
    "%d sets placed of %d; wrist camera behind 7 joints at 100 Hz and a fixed camera: "
    "%.1f us a set\ntf_us_per_set=%.2f\n", placed, sets, total_us / sets, total_us / sets);
  return placed == sets ? 0 : 1;
}
