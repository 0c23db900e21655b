// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "tavrinox_camera_convertor/ros/camera_sources.hpp"

#include <tf2/exceptions.h>
#include <tf2_ros/buffer_interface.h>

#include <cstdio>
#include <utility>

#include "tavrinox_camera_convertor/geometry/camera_frames.hpp"
#include "tavrinox_camera_convertor/geometry/frame_error.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

const char * const kCameraNames[2] = {"camera 1", "camera 2"};

std::string stamp_text(const builtin_interfaces::msg::Time & stamp)
{
  char text[32];
  std::snprintf(text, sizeof text, "%d.%09u", stamp.sec, stamp.nanosec);
  return text;
}

}  // namespace

PinholeCameraInfo camera_info_fields(const sensor_msgs::msg::CameraInfo & message)
{
  PinholeCameraInfo info;
  info.width = message.width;
  info.height = message.height;
  info.distortion_model = message.distortion_model;
  info.d = message.d;
  info.k = message.k;
  info.r = message.r;
  info.p = message.p;
  info.binning_x = message.binning_x;
  info.binning_y = message.binning_y;
  info.roi = {message.roi.x_offset, message.roi.y_offset, message.roi.height, message.roi.width};
  return info;
}

CameraSources::CameraSources(
  rclcpp::Node & node, const NodeParameters & parameters, const CameraConfig & config,
  InputQos & qos, std::ostream & matrix_out)
: config_(config),
  from_camera_info_(parameters.intrinsics_source == IntrinsicsSource::camera_info),
  from_tf_(parameters.extrinsics_source == ExtrinsicsSource::tf),
  frames_{parameters.camera_1_frame, parameters.camera_2_frame},
  matrix_out_(matrix_out)
{
  if (from_camera_info_) {
    info_topics_ = {
      parameters.camera_info_topic_1.empty() ?
      camera_info_topic_beside(config.depth_topic_1) : parameters.camera_info_topic_1,
      parameters.camera_info_topic_2.empty() ?
      camera_info_topic_beside(config.depth_topic_2) : parameters.camera_info_topic_2};
    const rmw_qos_profile_t profile = qos.profile();
    const rclcpp::QoS info_qos(rclcpp::QoSInitialization::from_rmw(profile), profile);
    for (std::size_t camera = 0; camera < 2; ++camera) {
      info_subs_[camera] = node.create_subscription<sensor_msgs::msg::CameraInfo>(
        info_topics_[camera], info_qos,
        [this, camera](sensor_msgs::msg::CameraInfo::ConstSharedPtr info) {
          infos_[camera] = std::move(info);
          if (on_info_) {
            on_info_();
          }
        },
        qos.options_for(info_topics_[camera]));
    }
  }
  if (from_tf_) {
    tf_buffer_ = std::make_shared<tf2_ros::Buffer>(node.get_clock());
    tf_listener_ = std::make_unique<tf2_ros::TransformListener>(*tf_buffer_, &node, true);
  }
}

std::string CameraSources::frame_of(
  std::size_t camera, const sensor_msgs::msg::Image & depth) const
{
  return frames_[camera].empty() ? depth.header.frame_id : frames_[camera];
}

CamerasOutcome CameraSources::cameras_for(
  const sensor_msgs::msg::Image & depth_1, const sensor_msgs::msg::Image & depth_2)
{
  CamerasOutcome outcome;
  const sensor_msgs::msg::Image * depths[2] = {&depth_1, &depth_2};
  CameraModel * models[2] = {&outcome.cameras.model_1, &outcome.cameras.model_2};
  ExtrinsicTransform * poses[2] = {&outcome.cameras.extrinsic_1, &outcome.cameras.extrinsic_2};
  for (std::size_t camera = 0; camera < 2; ++camera) {
    outcome.status = model_of(camera, *depths[camera], *models[camera], outcome.reason);
    if (outcome.status != CamerasOutcome::Status::ready) {
      return outcome;
    }
  }
  for (std::size_t camera = 0; camera < 2; ++camera) {
    outcome.status = pose_of(camera, *depths[camera], *poses[camera], outcome.reason);
    if (outcome.status != CamerasOutcome::Status::ready) {
      return outcome;
    }
  }
  return outcome;
}

CamerasOutcome::Status CameraSources::model_of(
  std::size_t camera, const sensor_msgs::msg::Image & depth, CameraModel & model,
  std::string & reason) const
{
  if (!from_camera_info_) {
    model.intrinsics = camera == 0 ? config_.intrinsics_1 : config_.intrinsics_2;
    return CamerasOutcome::Status::ready;
  }
  if (!infos_[camera]) {
    reason = "no camera info yet on " + info_topics_[camera];
    return CamerasOutcome::Status::waiting_for_info;
  }
  try {
    model = camera_model_from_info(
      camera_info_fields(*infos_[camera]), depth.width, depth.height, kCameraNames[camera]);
  } catch (const FrameError & error) {
    reason = std::string(error.what()) + " (" + info_topics_[camera] + ")";
    return CamerasOutcome::Status::refused;
  }
  return CamerasOutcome::Status::ready;
}

CamerasOutcome::Status CameraSources::pose_of(
  std::size_t camera, const sensor_msgs::msg::Image & depth, ExtrinsicTransform & pose,
  std::string & reason)
{
  if (!from_tf_) {
    pose = camera == 0 ? config_.extrinsic_1 : config_.extrinsic_2;
    return CamerasOutcome::Status::ready;
  }
  const std::string frame = frame_of(camera, depth);
  if (frame.empty()) {
    reason = std::string(kCameraNames[camera]) + " depth image: header.frame_id is empty, so " +
      "TF cannot place it (set camera_" + std::to_string(camera + 1) + "_frame)";
    return CamerasOutcome::Status::refused;
  }
  const tf2::TimePoint stamp = tf2_ros::fromMsg(depth.header.stamp);
  std::string error;
  if (!tf_buffer_->canTransform(config_.arm_frame_id, frame, stamp, &error)) {
    reason = std::string(kCameraNames[camera]) + ": no transform from " + frame + " to " +
      config_.arm_frame_id + " at " + stamp_text(depth.header.stamp) + ": " + error;
    return CamerasOutcome::Status::waiting_for_tf;
  }
  try {
    const geometry_msgs::msg::TransformStamped transform =
      tf_buffer_->lookupTransform(config_.arm_frame_id, frame, stamp);
    FramePose frame_pose;
    frame_pose.translation = {
      transform.transform.translation.x, transform.transform.translation.y,
      transform.transform.translation.z};
    frame_pose.rotation = {
      transform.transform.rotation.x, transform.transform.rotation.y,
      transform.transform.rotation.z, transform.transform.rotation.w};
    pose = extrinsic_of(frame_pose, kCameraNames[camera]);
  } catch (const tf2::TransformException & failure) {
    reason = std::string(kCameraNames[camera]) + ": " + failure.what();
    return CamerasOutcome::Status::waiting_for_tf;
  } catch (const FrameError & bad) {
    reason = std::string(bad.what()) + " (frame " + frame + ")";
    return CamerasOutcome::Status::refused;
  }
  if (!printed_[camera]) {
    printed_[camera] = true;
    print_extrinsic(matrix_out_, static_cast<int>(camera) + 1, pose);
    matrix_out_ << "from TF: " << frame << " in " << config_.arm_frame_id << " at stamp " <<
      stamp_text(depth.header.stamp) << std::endl;
  }
  return CamerasOutcome::Status::ready;
}

}  // namespace tavrinox_camera_convertor
