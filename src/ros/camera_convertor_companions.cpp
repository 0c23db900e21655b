// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// What the node publishes beside its outputs: the cameras on /tf_static and its health.
#include <array>
#include <chrono>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include <diagnostic_msgs/msg/diagnostic_status.hpp>
#include <geometry_msgs/msg/transform_stamped.hpp>

#include "tavrinox_camera_convertor/geometry/camera_frames.hpp"
#include "tavrinox_camera_convertor/ros/camera_convertor.hpp"
#include "tavrinox_camera_convertor/ros/ros_message_conversions.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

std::uint8_t diagnostic_level(HealthLevel level)
{
  switch (level) {
    case HealthLevel::ok:
      return diagnostic_msgs::msg::DiagnosticStatus::OK;
    case HealthLevel::warn:
      return diagnostic_msgs::msg::DiagnosticStatus::WARN;
    default:
      return diagnostic_msgs::msg::DiagnosticStatus::ERROR;
  }
}

constexpr std::array<const char *, 5> kOutputNames = {
  "cam1_cloud", "cam2_cloud", "depth image", "colour image", "converted_cloud"};

}  // namespace

void CameraConvertor::publish_camera_frames()
{
  if (parameters_.extrinsics_source == ExtrinsicsSource::tf) {
    // TF places the cameras; a second, static pose of the node's own would contradict it.
    return;
  }
  std::vector<geometry_msgs::msg::TransformStamped> transforms;
  const Stamp stamp = RosSystemClock().now();
  for (const auto & [frame, extrinsic] :
    {std::pair<const std::string &, const ExtrinsicTransform &>{
        parameters_.camera_1_frame, extrinsic_1_},
      std::pair<const std::string &, const ExtrinsicTransform &>{
        parameters_.camera_2_frame, extrinsic_2_}})
  {
    if (frame.empty()) {
      continue;
    }
    const FramePose pose = frame_pose(extrinsic);
    geometry_msgs::msg::TransformStamped transform;
    transform.header.stamp.sec = stamp.sec;
    transform.header.stamp.nanosec = stamp.nanosec;
    transform.header.frame_id = arm_frame_id_;
    transform.child_frame_id = frame;
    transform.transform.translation.x = pose.translation[0];
    transform.transform.translation.y = pose.translation[1];
    transform.transform.translation.z = pose.translation[2];
    transform.transform.rotation.x = pose.rotation[0];
    transform.transform.rotation.y = pose.rotation[1];
    transform.transform.rotation.z = pose.rotation[2];
    transform.transform.rotation.w = pose.rotation[3];
    transforms.push_back(transform);
  }
  if (transforms.empty()) {
    return;
  }
  camera_frames_ = std::make_unique<tf2_ros::StaticTransformBroadcaster>(this);
  camera_frames_->sendTransform(transforms);
}

void CameraConvertor::report_health(diagnostic_updater::DiagnosticStatusWrapper & status)
{
  const HealthSummary summary = monitor().summary(std::chrono::steady_clock::now());
  status.summary(diagnostic_level(summary.level), summary.message);
  for (const auto & [key, value] : summary.values) {
    status.add(key, value);
  }
  for (const auto & [topic, text] : input_qos_->incompatible()) {
    status.mergeSummary(
      diagnostic_msgs::msg::DiagnosticStatus::WARN, "an input's publisher offers another QoS");
    status.add("incompatible publisher on " + topic, text);
  }
  const std::array<TransportCounts, 5> counts = transports_->counts();
  for (std::size_t k = 0; k < counts.size(); ++k) {
    const TransportCounts & count = counts[k];
    const double ms_each = count.messages == 0 ? 0.0 :
      static_cast<double>(count.busy_ns) / 1e6 / static_cast<double>(count.messages);
    char text[160];
    std::snprintf(
      text, sizeof text, "%llu frames sent, %.1f ms each, %llu skipped for newer frames",
      static_cast<unsigned long long>(count.messages), ms_each,  // NOLINT(runtime/int)
      static_cast<unsigned long long>(count.replaced));  // NOLINT(runtime/int)
    status.add(std::string("compressed subtopics of the ") + kOutputNames[k], text);
  }
}

}  // namespace tavrinox_camera_convertor
