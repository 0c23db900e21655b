// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "tavrinox_camera_convertor/ros/camera_convertor.hpp"

#include <functional>
#include <iostream>
#include <utility>

#include <ament_index_cpp/get_package_share_directory.hpp>

#include "tavrinox_camera_convertor/back_projection.hpp"
#include "tavrinox_camera_convertor/camera_config.hpp"
#include "tavrinox_camera_convertor/ros/publisher_output.hpp"
#include "tavrinox_camera_convertor/ros/ros_message_conversions.hpp"

namespace tavrinox_camera_convertor
{

std::string config_file_path()
{
  return ament_index_cpp::get_package_share_directory("tavrinox_camera_convertor") +
         kConfigPathInShare;
}

std::string describe_config_file_path()
{
  try {
    return config_file_path();
  } catch (const std::exception & error) {
    return std::string("not found: ") + error.what();
  }
}

pcl::PointCloud<pcl::PointXYZ>::Ptr depth_to_cloud(
  std::shared_ptr<const sensor_msgs::msg::Image> depth, const CameraIntrinsics & intrinsics)
{
  return depth_to_cloud(image_view(*depth), intrinsics);
}

CameraConvertor::CameraConvertor()
: CameraConvertor(rclcpp::NodeOptions())
{
}

// The node name, the topics below (the /camera_02/... ones carry camera 1's images) and the
// start-up texts are the node's external interface: users' launch files, remappings and log
// watchers depend on them, so they must not change.
CameraConvertor::CameraConvertor(const rclcpp::NodeOptions & options)
: rclcpp::Node(
    "Morvanteq", rclcpp::NodeOptions(options).automatically_declare_parameters_from_overrides(true))
{
  try {
    InitializeParams();
    color_image_pub_ = create_publisher<Image>("/camera_02/color/converted_image", 1);
    depth_image_pub_ = create_publisher<Image>("/camera_02/depth/converted_image", 1);
    converted_cloud_pub_ =
      create_publisher<PointCloud2>("/tavrinox_camera_convertor/converted_cloud", 1);
    cam1_cloud_pub_ = create_publisher<PointCloud2>("/tavrinox_camera_convertor/cam1_cloud", 1);
    cam2_cloud_pub_ = create_publisher<PointCloud2>("/tavrinox_camera_convertor/cam2_cloud", 1);
  } catch (const std::exception & error) {
    if (!get_node_base_interface()->get_context()->is_valid()) {
      // SIGINT/SIGTERM during start-up shut the context down under the constructor: that is a
      // requested stop, not a bad configuration.
      throw;
    }
    // A bad configuration is a user error: say what and where, in the process's log or the
    // container's, which lives on.
    const std::string reason =
      std::string("Cannot start: ") + error.what() + " (configuration file: " +
      describe_config_file_path() + ")";
    RCLCPP_FATAL(get_logger(), "%s", reason.c_str());
    throw StartError(reason);
  }
}

CameraConvertor::~CameraConvertor() = default;

void CameraConvertor::InitializeParams()
{
  // Prints both matrices as soon as they are built, before the rest of the file is read.
  const CameraConfig config = load_camera_config(config_file_path(), std::cout);
  arm_frame_id_ = config.arm_frame_id;
  intrinsics_1_ = config.intrinsics_1;
  intrinsics_2_ = config.intrinsics_2;
  extrinsic_1_ = config.extrinsic_1;
  extrinsic_2_ = config.extrinsic_2;
  pipeline_ = std::make_unique<FramePipeline>(config);

  // Topic names are logged exactly as configured, before any remapping.
  RCLCPP_INFO(
    get_logger(), "Subscribe topic_1: %s and %s", config.rgb_topic_1.c_str(),
    config.depth_topic_1.c_str());
  RCLCPP_INFO(
    get_logger(), "Subscribe topic_2: %s and %s", config.rgb_topic_2.c_str(),
    config.depth_topic_2.c_str());

  const rmw_qos_profile_t qos = rmw_qos_profile_default;
  rgb_sub_1_.subscribe(this, config.rgb_topic_1, qos);
  depth_sub_1_.subscribe(this, config.depth_topic_1, qos);
  rgb_sub_2_.subscribe(this, config.rgb_topic_2, qos);
  depth_sub_2_.subscribe(this, config.depth_topic_2, qos);

  sync_ = std::make_shared<message_filters::Synchronizer<SyncPolicy>>(
    SyncPolicy(10), rgb_sub_1_, depth_sub_1_, rgb_sub_2_, depth_sub_2_);
  using std::placeholders::_1;
  using std::placeholders::_2;
  using std::placeholders::_3;
  using std::placeholders::_4;
  sync_->registerCallback(std::bind(&CameraConvertor::synced_callback, this, _1, _2, _3, _4));
}

void CameraConvertor::synced_callback(
  std::shared_ptr<const Image> rgb_1, std::shared_ptr<const Image> depth_1,
  std::shared_ptr<const Image>/*rgb_2: pairing only*/, std::shared_ptr<const Image> depth_2)
{
  try {
    PublisherOutput output(
      {*cam1_cloud_pub_, *cam2_cloud_pub_, *depth_image_pub_, *color_image_pub_,
        *converted_cloud_pub_});
    RosSystemClock clock;
    pipeline_->process(
      {image_view(*depth_1), image_view(*depth_2)}, CvBridgeColorConverter(std::move(rgb_1)), clock,
      output);
  } catch (const std::exception & error) {
    // One bad frame must not end the node; what was published before the failure stands.
    RCLCPP_ERROR_THROTTLE(get_logger(), error_log_clock_, 5000, "Frame dropped: %s", error.what());
  }
}

}  // namespace tavrinox_camera_convertor
