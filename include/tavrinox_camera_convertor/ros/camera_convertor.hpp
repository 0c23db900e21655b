// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include <message_filters/subscriber.h>
#include <pcl/point_cloud.h>
#include <pcl/point_types.h>
#include <tf2_ros/static_transform_broadcaster.h>

#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>

#include <diagnostic_updater/diagnostic_updater.hpp>
#include <rclcpp/rclcpp.hpp>
#include <sensor_msgs/msg/camera_info.hpp>
#include <sensor_msgs/msg/image.hpp>
#include <sensor_msgs/msg/point_cloud2.hpp>

#include "tavrinox_camera_convertor/geometry/camera_info.hpp"
#include "tavrinox_camera_convertor/geometry/camera_intrinsics.hpp"
#include "tavrinox_camera_convertor/geometry/extrinsic_transform.hpp"
#include "tavrinox_camera_convertor/pairing/camera_input.hpp"
#include "tavrinox_camera_convertor/pairing/input_pairing.hpp"
#include "tavrinox_camera_convertor/pairing/pairing_monitor.hpp"
#include "tavrinox_camera_convertor/pipeline/frame_pipeline.hpp"
#include "tavrinox_camera_convertor/ros/camera_sources.hpp"
#include "tavrinox_camera_convertor/ros/entity_creation_recorder.hpp"
#include "tavrinox_camera_convertor/ros/input_qos.hpp"
#include "tavrinox_camera_convertor/ros/node_parameters.hpp"
#include "tavrinox_camera_convertor/ros/start_error.hpp"
#include "tavrinox_camera_convertor/ros/transport_publishers.hpp"

namespace tavrinox_camera_convertor
{

/// @brief The package's configuration file: its share directory plus "/config/camera_config.yaml".
std::string config_file_path();

/// @brief config_file_path(), or what went wrong looking for it, for error messages.
std::string describe_config_file_path();

/**
 * @brief Back-projects a depth image message into a camera-frame cloud.
 * @throws FrameError when the message is not a readable depth image
 */
pcl::PointCloud<pcl::PointXYZ>::Ptr depth_to_cloud(
  std::shared_ptr<const sensor_msgs::msg::Image> depth, const CameraIntrinsics & intrinsics);

/**
 * @brief The converter node "Morvanteq": pairs both cameras' images by time and publishes
 *        the arm-frame clouds, camera 1's completed depth and colour images and the converted cloud.
 *
 * All wiring happens in the constructor; a bad configuration or parameter is logged as one
 * FATAL line and thrown from it. Outputs without a subscription are not made. Beside the five
 * outputs: compressed subtopics of each, camera 1's camera info, the cameras on TF when their
 * frames are named, and its health on /diagnostics. Also an rclcpp component.
 *
 * Parameters (NodeParameters): the YAML file, the cameras' TF frames, the pairing bound, and
 * opt-in sources for real drivers: best-effort inputs, intrinsics from camera infos, poses from
 * TF at each image's stamp, and outputs stamped with their images' stamps.
 */
class CameraConvertor : public rclcpp::Node
{
public:
  /// @brief The node of `camera_convertor_node`, with the default options.
  CameraConvertor();

  /**
   * @brief The node as a component, for example in a container with intra-process
   *        communication, where in-process subscribers receive the outputs without a copy.
   *
   * Parameter overrides are always declared, whatever `options` says.
   * @throws StartError when the configuration or a parameter is unusable, or under SROS2 when
   *         the enclave's files or permissions refuse what the node needs (after logging it)
   */
  explicit CameraConvertor(const rclcpp::NodeOptions & options);

  ~CameraConvertor() override;

  CameraConvertor(const CameraConvertor &) = delete;
  CameraConvertor & operator=(const CameraConvertor &) = delete;

private:
  using Image = sensor_msgs::msg::Image;
  using PointCloud2 = sensor_msgs::msg::PointCloud2;
  using ImagePairing = InputPairing<std::shared_ptr<const Image>>;

  /// One paired set of images, and when the synchronizer gave it.
  struct PairedSet
  {
    std::shared_ptr<const Image> rgb_1;
    std::shared_ptr<const Image> depth_1;
    std::shared_ptr<const Image> rgb_2;
    std::shared_ptr<const Image> depth_2;
    InputStamps stamps;
    std::chrono::steady_clock::time_point paired;
  };

  /// @brief Reads the configuration, prints the matrices, subscribes and wires the synchronizer.
  void InitializeParams();

  /// @brief Takes a paired set: runs it now, or lets it wait for its cameras.
  void synced_callback(
    std::shared_ptr<const Image> rgb_1, std::shared_ptr<const Image> depth_1,
    std::shared_ptr<const Image> rgb_2, std::shared_ptr<const Image> depth_2);

  /// @brief Runs the waiting sets, oldest first, while their cameras can be had; gives up on
  ///        those that waited for TF longer than tf_timeout or whose cameras are refused.
  void run_waiting_sets();

  /// @brief Runs one paired set through the pipeline; a failing frame is logged, never fatal.
  void process_set(const PairedSet & set, const FrameCameras & cameras);

  /// @brief Counts a set that will never be published, with a throttled WARN giving `reason`.
  void drop_set(const std::string & reason);

  /// Sets that may wait for their cameras at once; beyond, the oldest is given up.
  static constexpr std::size_t kMostWaitingSets = 10;

  PairingMonitor & monitor() {return pairing_->monitor();}

  /// @brief Builds the node while `recorder` (none without security) follows what the
  ///        middleware refuses it.
  CameraConvertor(
    const rclcpp::NodeOptions & options, std::shared_ptr<EntityCreationRecorder> recorder);

  /// @brief Publishes each named camera frame's pose in the arm frame on /tf_static.
  void publish_camera_frames();

  /// @brief The converter's health for /diagnostics.
  void report_health(diagnostic_updater::DiagnosticStatusWrapper & status);

  NodeParameters parameters_;
  std::string arm_frame_id_;         ///< as read; pipeline_ holds the working copy
  CameraIntrinsics intrinsics_1_;    ///< as read; pipeline_ holds the working copy
  CameraIntrinsics intrinsics_2_;    ///< as read; pipeline_ holds the working copy
  ExtrinsicTransform extrinsic_1_;   ///< as read; pipeline_ holds the working copy
  ExtrinsicTransform extrinsic_2_;   ///< as read; pipeline_ holds the working copy
  message_filters::Subscriber<Image, rclcpp::Node> depth_sub_1_;
  message_filters::Subscriber<Image, rclcpp::Node> rgb_sub_1_;
  message_filters::Subscriber<Image, rclcpp::Node> depth_sub_2_;
  message_filters::Subscriber<Image, rclcpp::Node> rgb_sub_2_;
  rclcpp::Publisher<Image>::SharedPtr color_image_pub_;
  rclcpp::Publisher<Image>::SharedPtr depth_image_pub_;
  rclcpp::Publisher<PointCloud2>::SharedPtr converted_cloud_pub_;
  rclcpp::Publisher<PointCloud2>::SharedPtr cam1_cloud_pub_;
  rclcpp::Publisher<PointCloud2>::SharedPtr cam2_cloud_pub_;

  std::string config_path_;     ///< the file read, from `config_file` or the package's
  std::unique_ptr<InputQos> input_qos_;
  std::unique_ptr<CameraSources> sources_;
  std::deque<PairedSet> waiting_;  ///< sets whose cameras a source has not given yet
  rclcpp::TimerBase::SharedPtr waiting_timer_;
  PinholeCameraInfo camera_1_info_;
  rclcpp::Publisher<sensor_msgs::msg::CameraInfo>::SharedPtr depth_camera_info_pub_;
  std::unique_ptr<TransportPublishers> transports_;
  std::unique_ptr<tf2_ros::StaticTransformBroadcaster> camera_frames_;
  std::unique_ptr<ImagePairing> pairing_;  ///< the inputs' images to sets, and their monitor
  rclcpp::TimerBase::SharedPtr stall_timer_;
  rclcpp::TimerBase::SharedPtr pairing_timer_;
  std::unique_ptr<diagnostic_updater::Updater> diagnostics_;
  std::unique_ptr<FramePipeline> pipeline_;
  rclcpp::Clock error_log_clock_{RCL_STEADY_TIME};
};

}  // namespace tavrinox_camera_convertor
