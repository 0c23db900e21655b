// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "tavrinox_camera_convertor/ros/camera_convertor.hpp"

#include <yaml-cpp/exceptions.h>

#include <chrono>
#include <functional>
#include <iostream>
#include <stdexcept>
#include <utility>
#include <vector>

#include <ament_index_cpp/get_package_share_directory.hpp>
#include <diagnostic_msgs/msg/diagnostic_status.hpp>
#include <geometry_msgs/msg/transform_stamped.hpp>

#include "tavrinox_camera_convertor/geometry/back_projection.hpp"
#include "tavrinox_camera_convertor/geometry/camera_config.hpp"
#include "tavrinox_camera_convertor/geometry/camera_frames.hpp"
#include "tavrinox_camera_convertor/pairing/duration_text.hpp"
#include "tavrinox_camera_convertor/ros/publisher_output.hpp"
#include "tavrinox_camera_convertor/ros/ros_message_conversions.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

using SteadyClock = std::chrono::steady_clock;

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
  rclcpp::Node & node, const std::string & name, const std::string & description)
{
  const rclcpp::ParameterValue value =
    read_only_parameter(node, name, rclcpp::ParameterValue(std::string()), description);
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

std::int64_t stamp_ns(const sensor_msgs::msg::Image & image)
{
  return static_cast<std::int64_t>(image.header.stamp.sec) * 1000000000 +
         static_cast<std::int64_t>(image.header.stamp.nanosec);
}

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
  bool reading_configuration = false;
  try {
    read_parameters();
    monitor_ = std::make_unique<PairingMonitor>(max_set_interval_s_);
    reading_configuration = true;
    InitializeParams();
    reading_configuration = false;
    color_image_pub_ = create_publisher<Image>("/camera_02/color/converted_image", 1);
    depth_image_pub_ = create_publisher<Image>("/camera_02/depth/converted_image", 1);
    converted_cloud_pub_ =
      create_publisher<PointCloud2>("/tavrinox_camera_convertor/converted_cloud", 1);
    cam1_cloud_pub_ = create_publisher<PointCloud2>("/tavrinox_camera_convertor/cam1_cloud", 1);
    cam2_cloud_pub_ = create_publisher<PointCloud2>("/tavrinox_camera_convertor/cam2_cloud", 1);

    camera_1_info_ = pinhole_camera_info(intrinsics_1_, 0, 0);
    depth_camera_info_pub_ =
      create_publisher<sensor_msgs::msg::CameraInfo>("/camera_02/depth/camera_info", 1);
    transports_ = std::make_unique<TransportPublishers>(*this);
    publish_camera_frames();
    stall_timer_ = create_wall_timer(
      std::chrono::milliseconds(250), [this] {
        if (const auto warning = monitor_->poll(SteadyClock::now())) {
          RCLCPP_WARN(get_logger(), "%s", warning->c_str());
        }
      });
    diagnostics_ = std::make_unique<diagnostic_updater::Updater>(this);
    diagnostics_->setHardwareID("none");
    diagnostics_->add(
      "pairing and conversion", [this](diagnostic_updater::DiagnosticStatusWrapper & status) {
        report_health(status);
      });
  } catch (const std::exception & error) {
    if (!get_node_base_interface()->get_context()->is_valid()) {
      // SIGINT/SIGTERM during start-up shut the context down under the constructor: that is a
      // requested stop, not a bad configuration.
      throw;
    }
    // A bad configuration or parameter is a user error: say what and where, in the process's
    // log or the container's, which lives on.
    std::string reason = std::string("Cannot start: ") + error.what();
    if (reading_configuration) {
      reason += " (configuration file: " +
        (config_path_.empty() ? describe_config_file_path() : config_path_) + ")";
    }
    RCLCPP_FATAL(get_logger(), "%s", reason.c_str());
    throw StartError(reason);
  }
}

CameraConvertor::~CameraConvertor() = default;

void CameraConvertor::read_parameters()
{
  config_path_ = string_parameter(
    *this, "config_file",
    "The camera configuration (YAML) to read at start; empty: the package's "
    "share/tavrinox_camera_convertor/config/camera_config.yaml");
  camera_1_frame_ = string_parameter(
    *this, "camera_1_frame",
    "TF frame of camera 1: published on /tf_static from the arm frame and carried by both "
    "images and the camera info; empty: none");
  camera_2_frame_ = string_parameter(
    *this, "camera_2_frame",
    "TF frame of camera 2, published on /tf_static from the arm frame; empty: none");
  // Checked before anything is read or subscribed; against the arm frame once it is known.
  for (const auto & [name, frame] :
    {std::pair<const char *, const std::string &>{"camera_1_frame", camera_1_frame_},
      std::pair<const char *, const std::string &>{"camera_2_frame", camera_2_frame_}})
  {
    if (!frame.empty()) {
      require_valid_frame_id(name, frame);
    }
  }
  max_set_interval_s_ = seconds_parameter(
    *this, PairingBound::kParameter, -1.0,
    "Seconds a paired set's four stamps may span: negative learns half the shortest frame "
    "period of the inputs, 0 pairs whatever the spread, positive fixes the bound");
}

void CameraConvertor::InitializeParams()
{
  if (config_path_.empty()) {
    config_path_ = config_file_path();
  }
  // Prints both matrices as soon as they are built, before the rest of the file is read.
  const CameraConfig config = load_camera_config(config_path_, std::cout);
  require_valid_camera_frames(config.arm_frame_id, camera_1_frame_, camera_2_frame_);
  arm_frame_id_ = config.arm_frame_id;
  intrinsics_1_ = config.intrinsics_1;
  intrinsics_2_ = config.intrinsics_2;
  extrinsic_1_ = config.extrinsic_1;
  extrinsic_2_ = config.extrinsic_2;
  pipeline_ = std::make_unique<FramePipeline>(config);
  pipeline_->set_image_frame_id(camera_1_frame_);

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

  // Registered before the synchronizer connects, so each image is noted (and the bound it
  // teaches applied) before the synchronizer pairs it.
  rgb_sub_1_.registerCallback(
    [this](const Image::ConstSharedPtr & image) {observe(CameraInput::rgb_1, *image);});
  depth_sub_1_.registerCallback(
    [this](const Image::ConstSharedPtr & image) {observe(CameraInput::depth_1, *image);});
  rgb_sub_2_.registerCallback(
    [this](const Image::ConstSharedPtr & image) {observe(CameraInput::rgb_2, *image);});
  depth_sub_2_.registerCallback(
    [this](const Image::ConstSharedPtr & image) {observe(CameraInput::depth_2, *image);});

  sync_ = std::make_shared<message_filters::Synchronizer<SyncPolicy>>(
    SyncPolicy(10), rgb_sub_1_, depth_sub_1_, rgb_sub_2_, depth_sub_2_);
  using std::placeholders::_1;
  using std::placeholders::_2;
  using std::placeholders::_3;
  using std::placeholders::_4;
  sync_->registerCallback(std::bind(&CameraConvertor::synced_callback, this, _1, _2, _3, _4));
}

void CameraConvertor::observe(CameraInput input, const Image & image)
{
  monitor_->on_image(input, stamp_ns(image), SteadyClock::now());
  if (sync_) {
    apply_pairing_bound(monitor_->pairing_bound(), applied_bound_ns_, *sync_);
  }
}

void CameraConvertor::synced_callback(
  std::shared_ptr<const Image> rgb_1, std::shared_ptr<const Image> depth_1,
  std::shared_ptr<const Image> rgb_2, std::shared_ptr<const Image> depth_2)
{
  const InputStamps stamps = {
    stamp_ns(*rgb_1), stamp_ns(*depth_1), stamp_ns(*rgb_2), stamp_ns(*depth_2)};
  // The synchronizer holds candidates it formed before the bound last changed.
  if (!monitor_->pairing_bound().accepts(stamps)) {
    monitor_->on_set_mixed(stamps, SteadyClock::now());
    return;
  }
  try {
    PublisherOutput output(
      {*cam1_cloud_pub_, *cam2_cloud_pub_, *depth_image_pub_, *color_image_pub_,
        *converted_cloud_pub_},
      {*depth_camera_info_pub_, camera_1_info_, *transports_});
    RosSystemClock clock;
    pipeline_->process(
      {image_view(*depth_1), image_view(*depth_2)}, CvBridgeColorConverter(std::move(rgb_1)), clock,
      output);
    if (const auto resumed = monitor_->on_set_processed(stamps, SteadyClock::now())) {
      RCLCPP_INFO(get_logger(), "%s", resumed->c_str());
    }
  } catch (const std::exception & error) {
    // One bad frame must not end the node; what was published before the failure stands.
    monitor_->on_frame_rejected(error.what(), SteadyClock::now());
    RCLCPP_ERROR_THROTTLE(get_logger(), error_log_clock_, 5000, "Frame dropped: %s", error.what());
  }
}

void CameraConvertor::publish_camera_frames()
{
  std::vector<geometry_msgs::msg::TransformStamped> transforms;
  const Stamp stamp = RosSystemClock().now();
  for (const auto & [frame, extrinsic] :
    {std::pair<const std::string &, const ExtrinsicTransform &>{camera_1_frame_, extrinsic_1_},
      std::pair<const std::string &, const ExtrinsicTransform &>{camera_2_frame_, extrinsic_2_}})
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
  const HealthSummary summary = monitor_->summary(SteadyClock::now());
  status.summary(diagnostic_level(summary.level), summary.message);
  for (const auto & [key, value] : summary.values) {
    status.add(key, value);
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
