// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include <tf2_ros/buffer.h>
#include <tf2_ros/transform_listener.h>

#include <array>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <utility>

#include <rclcpp/rclcpp.hpp>
#include <sensor_msgs/msg/camera_info.hpp>
#include <sensor_msgs/msg/image.hpp>

#include "tavrinox_camera_convertor/geometry/camera_config.hpp"
#include "tavrinox_camera_convertor/geometry/camera_info.hpp"
#include "tavrinox_camera_convertor/geometry/frame_cameras.hpp"
#include "tavrinox_camera_convertor/ros/input_qos.hpp"
#include "tavrinox_camera_convertor/ros/node_parameters.hpp"

namespace tavrinox_camera_convertor
{

/// What a set's cameras are, or why they cannot be had now.
struct CamerasOutcome
{
  enum class Status
  {
    ready,             ///< `cameras` holds both
    waiting_for_info,  ///< a camera's first camera info has not come; `reason` names its topic
    waiting_for_tf,    ///< TF has no transform at the image's stamp yet; `reason` is tf2's
    refused,  ///< what a source gave describes no usable camera; `reason` names camera and field
  };
  Status status = Status::ready;
  FrameCameras cameras;
  std::string reason;
};

/**
 * @brief Where each set's camera models and poses come from: the configuration, the drivers'
 *        camera infos (the latest of each camera), or TF at each depth image's stamp.
 *
 * Serves one thread, the node's: camera infos arrive in its callbacks; TF fills its buffer on a
 * thread of its own.
 */
class CameraSources
{
public:
  /**
   * @param matrix_out where each camera's matrix is printed when TF first gives it
   */
  CameraSources(
    rclcpp::Node & node, const NodeParameters & parameters, const CameraConfig & config,
    InputQos & qos, std::ostream & matrix_out);

  /// @brief Whether sets may have to wait for a source (camera infos or TF).
  bool may_wait() const {return from_camera_info_ || from_tf_;}
  /// @brief Whether a set that waits for TF is given up after tf_timeout.
  bool from_tf() const {return from_tf_;}

  /// @brief The cameras of the set with these depth images.
  CamerasOutcome cameras_for(
    const sensor_msgs::msg::Image & depth_1, const sensor_msgs::msg::Image & depth_2);

  /// @brief Camera 1's latest camera info as received; null in config mode or before the first.
  std::shared_ptr<const sensor_msgs::msg::CameraInfo> camera_1_info() const {return infos_[0];}

  /// @brief The TF frame of camera `camera` (0 or 1) for `depth`: the parameter, else its frame id.
  std::string frame_of(std::size_t camera, const sensor_msgs::msg::Image & depth) const;

  /// @brief Called after each camera info that arrives, so that waiting sets can go on.
  void on_info(std::function<void()> callback) {on_info_ = std::move(callback);}

  /// @brief The camera info topics subscribed to, for messages; empty in config mode.
  const std::array<std::string, 2> & info_topics() const {return info_topics_;}

private:
  /// @brief Camera `camera`'s model, from the configuration or its latest info.
  CamerasOutcome::Status model_of(
    std::size_t camera, const sensor_msgs::msg::Image & depth, CameraModel & model,
    std::string & reason) const;
  /// @brief Camera `camera`'s pose at `depth`'s stamp, from the configuration or TF.
  CamerasOutcome::Status pose_of(
    std::size_t camera, const sensor_msgs::msg::Image & depth, ExtrinsicTransform & pose,
    std::string & reason);

  const CameraConfig config_;
  const bool from_camera_info_;
  const bool from_tf_;
  std::array<std::string, 2> frames_;  ///< the camera_N_frame parameters
  std::array<std::string, 2> info_topics_;
  std::array<rclcpp::Subscription<sensor_msgs::msg::CameraInfo>::SharedPtr, 2> info_subs_;
  std::array<std::shared_ptr<const sensor_msgs::msg::CameraInfo>, 2> infos_;
  std::function<void()> on_info_;
  std::shared_ptr<tf2_ros::Buffer> tf_buffer_;
  std::unique_ptr<tf2_ros::TransformListener> tf_listener_;
  std::array<bool, 2> printed_{};  ///< each camera's matrix is printed once, when first had
  std::ostream & matrix_out_;
};

/// @brief `message`'s fields as the core reads a camera info.
PinholeCameraInfo camera_info_fields(const sensor_msgs::msg::CameraInfo & message);

}  // namespace tavrinox_camera_convertor
