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
#include "tavrinox_camera_convertor/ros/secured_start.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

using SteadyClock = std::chrono::steady_clock;

std::int64_t stamp_ns(const sensor_msgs::msg::Image & image)
{
  return static_cast<std::int64_t>(image.header.stamp.sec) * 1000000000 +
         static_cast<std::int64_t>(image.header.stamp.nanosec);
}

Stamp stamp_of(const builtin_interfaces::msg::Time & time)
{
  return {time.sec, time.nanosec};
}

/// Under SROS2, what the middleware refuses the node is followed while it is built.
std::shared_ptr<EntityCreationRecorder> recorder_if_secured(const rclcpp::NodeOptions & options)
{
  if (!security_enabled()) {
    return nullptr;
  }
  return std::make_shared<EntityCreationRecorder>(
    [setting = security_setting(*options.context())](const RefusedEntity & subscription) {
      return "[FATAL] [Morvanteq]: " + secured_start_failure(setting, {subscription}, "") +
      " (the middleware crashed refusing it)\n";
    });
}

/// rcl and the middleware refused something, rather than the configuration being unusable.
bool refused_by_rcl(const std::exception & error)
{
  return dynamic_cast<const rclcpp::exceptions::RCLErrorBase *>(&error) != nullptr;
}

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

CameraConvertor::CameraConvertor(const rclcpp::NodeOptions & options)
: CameraConvertor(options, recorder_if_secured(options))
{
}

// The node name, the topics below (the /camera_02/... ones carry camera 1's images) and the
// start-up texts are the node's external interface: users' launch files, remappings and log
// watchers depend on them, so they must not change.
CameraConvertor::CameraConvertor(
  const rclcpp::NodeOptions & options, std::shared_ptr<EntityCreationRecorder> recorder)
try
: rclcpp::Node(
    "Morvanteq", rclcpp::NodeOptions(options).automatically_declare_parameters_from_overrides(true))
{
  bool reading_configuration = false;
  try {
    parameters_ = read_node_parameters(*this);
    config_path_ = parameters_.config_file;
    pairing_ = std::make_unique<ImagePairing>(
      parameters_.max_set_interval_s, [this](const ImagePairing::Set & set) {
        synced_callback(set[0].image, set[1].image, set[2].image, set[3].image);
      });
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
    if (sources_->may_wait()) {
      // Waiting sets go on as soon as what they wait for is there, without blocking the executor.
      sources_->on_info([this] {run_waiting_sets();});
      waiting_timer_ = create_wall_timer(
        std::chrono::milliseconds(5), [this] {
          if (!waiting_.empty()) {
            run_waiting_sets();
          }
        });
    }
    depth_camera_info_pub_ =
      create_publisher<sensor_msgs::msg::CameraInfo>("/camera_02/depth/camera_info", 1);
    transports_ = std::make_unique<TransportPublishers>(*this);
    publish_camera_frames();
    stall_timer_ = create_wall_timer(
      std::chrono::milliseconds(250), [this] {
        if (const auto warning = monitor().poll(SteadyClock::now())) {
          RCLCPP_WARN(get_logger(), "%s", warning->c_str());
        }
      });
    // Releases the set that waits for a later image once none comes.
    pairing_timer_ = create_wall_timer(
      std::chrono::milliseconds(50), [this] {pairing_->poll(SteadyClock::now());});
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
    if (recorder && (refused_by_rcl(error) || !recorder->refused().empty())) {
      reason = secured_start_failure(
        security_setting(*get_node_base_interface()->get_context()), recorder->refused(),
        error.what());
    }
    RCLCPP_FATAL(get_logger(), "%s", reason.c_str());
    throw StartError(reason);
  }
  // image_transport and point_cloud_transport go on without a subtopic they could not advertise:
  // under SROS2 a policy left it out, and the node says so rather than run without it.
  if (recorder && !recorder->refused().empty()) {
    const std::string reason = secured_start_failure(
      security_setting(*get_node_base_interface()->get_context()), recorder->refused(), "");
    RCLCPP_FATAL(get_logger(), "%s", reason.c_str());
    throw StartError(reason);
  }
} catch (const StartError &) {
  throw;
} catch (const std::exception & error) {
  // rclcpp::Node's own start failed: under SROS2 the enclave's files refused the participant,
  // or its permissions the log's publisher or the parameter services.
  if (!recorder || !options.context()->is_valid()) {
    throw;
  }
  const std::string reason =
    secured_start_failure(security_setting(*options.context()), recorder->refused(), error.what());
  RCLCPP_FATAL(rclcpp::get_logger("Morvanteq"), "%s", reason.c_str());
  throw StartError(reason);
}

CameraConvertor::~CameraConvertor() = default;

void CameraConvertor::InitializeParams()
{
  if (config_path_.empty()) {
    config_path_ = config_file_path();
  }
  // Prints both matrices as soon as they are built, before the rest of the file is read.
  ConfigSections sections;
  sections.intrinsics = parameters_.intrinsics_source == IntrinsicsSource::config;
  sections.extrinsics = parameters_.extrinsics_source == ExtrinsicsSource::config;
  const CameraConfig config = load_camera_config(config_path_, std::cout, sections);
  require_valid_camera_frames(
    config.arm_frame_id, parameters_.camera_1_frame, parameters_.camera_2_frame);
  arm_frame_id_ = config.arm_frame_id;
  intrinsics_1_ = config.intrinsics_1;
  intrinsics_2_ = config.intrinsics_2;
  extrinsic_1_ = config.extrinsic_1;
  extrinsic_2_ = config.extrinsic_2;
  pipeline_ = std::make_unique<FramePipeline>(config);
  pipeline_->set_image_frame_id(parameters_.camera_1_frame);

  // Topic names are logged exactly as configured, before any remapping.
  RCLCPP_INFO(
    get_logger(), "Subscribe topic_1: %s and %s", config.rgb_topic_1.c_str(),
    config.depth_topic_1.c_str());
  RCLCPP_INFO(
    get_logger(), "Subscribe topic_2: %s and %s", config.rgb_topic_2.c_str(),
    config.depth_topic_2.c_str());

  input_qos_ = std::make_unique<InputQos>(*this, parameters_.input_reliability);
  const rmw_qos_profile_t qos = input_qos_->profile();
  rgb_sub_1_.subscribe(this, config.rgb_topic_1, qos, input_qos_->options_for(config.rgb_topic_1));
  depth_sub_1_.subscribe(
    this, config.depth_topic_1, qos, input_qos_->options_for(config.depth_topic_1));
  rgb_sub_2_.subscribe(this, config.rgb_topic_2, qos, input_qos_->options_for(config.rgb_topic_2));
  depth_sub_2_.subscribe(
    this, config.depth_topic_2, qos, input_qos_->options_for(config.depth_topic_2));
  sources_ = std::make_unique<CameraSources>(*this, parameters_, config, *input_qos_, std::cout);

  // Each image is noted first (and the bound it teaches applied), then paired.
  const auto pair = [this](CameraInput input) {
      return [this, input](const Image::ConstSharedPtr & image) {
               pairing_->add(input, stamp_ns(*image), SteadyClock::now(), image);
             };
    };
  rgb_sub_1_.registerCallback(pair(CameraInput::rgb_1));
  depth_sub_1_.registerCallback(pair(CameraInput::depth_1));
  rgb_sub_2_.registerCallback(pair(CameraInput::rgb_2));
  depth_sub_2_.registerCallback(pair(CameraInput::depth_2));
}

void CameraConvertor::synced_callback(
  std::shared_ptr<const Image> rgb_1, std::shared_ptr<const Image> depth_1,
  std::shared_ptr<const Image> rgb_2, std::shared_ptr<const Image> depth_2)
{
  PairedSet set{
    std::move(rgb_1), std::move(depth_1), std::move(rgb_2), std::move(depth_2),
    {}, SteadyClock::now()};
  set.stamps = {
    stamp_ns(*set.rgb_1), stamp_ns(*set.depth_1), stamp_ns(*set.rgb_2), stamp_ns(*set.depth_2)};
  if (!sources_->may_wait()) {
    process_set(set, sources_->cameras_for(*set.depth_1, *set.depth_2).cameras);
    return;
  }
  // Sets keep their order: a set waits while an older one does.
  if (waiting_.size() == kMostWaitingSets) {
    drop_set(
      "more than " + std::to_string(kMostWaitingSets) +
      " sets waited for their cameras; the oldest was given up");
    waiting_.pop_front();
  }
  waiting_.push_back(std::move(set));
  run_waiting_sets();
}

void CameraConvertor::run_waiting_sets()
{
  const auto tf_timeout = std::chrono::duration_cast<SteadyClock::duration>(
    std::chrono::duration<double>(parameters_.tf_timeout_s));
  while (!waiting_.empty()) {
    const PairedSet & set = waiting_.front();
    const CamerasOutcome outcome = sources_->cameras_for(*set.depth_1, *set.depth_2);
    // A set waits for a camera's first info as long as it takes, for TF up to tf_timeout.
    const bool tf_too_late = outcome.status == CamerasOutcome::Status::waiting_for_tf &&
      SteadyClock::now() - set.paired > tf_timeout;
    if (outcome.status == CamerasOutcome::Status::ready) {
      monitor().set_waiting_for({});
      process_set(set, outcome.cameras);
    } else if (outcome.status == CamerasOutcome::Status::refused || tf_too_late) {
      drop_set(outcome.reason);
    } else {
      monitor().set_waiting_for(outcome.reason);
      return;
    }
    waiting_.pop_front();
  }
}

void CameraConvertor::drop_set(const std::string & reason)
{
  monitor().on_frame_rejected(reason, SteadyClock::now());
  RCLCPP_WARN_THROTTLE(
    get_logger(), error_log_clock_, 5000, "Set not published: %s", reason.c_str());
}

void CameraConvertor::process_set(const PairedSet & set, const FrameCameras & cameras)
{
  try {
    if (sources_->camera_1_info()) {
      camera_1_info_ = camera_info_fields(*sources_->camera_1_info());
    }
    if (parameters_.extrinsics_source == ExtrinsicsSource::tf) {
      pipeline_->set_image_frame_id(sources_->frame_of(0, *set.depth_1));
    }
    PublisherOutput output(
      {*cam1_cloud_pub_, *cam2_cloud_pub_, *depth_image_pub_, *color_image_pub_,
        *converted_cloud_pub_},
      {*depth_camera_info_pub_, camera_1_info_, *transports_});
    const CvBridgeColorConverter color(set.rgb_1);
    const DepthPair depth{image_view(*set.depth_1), image_view(*set.depth_2)};
    if (parameters_.output_stamp == OutputStamp::acquisition) {
      AcquisitionStamps stamps(
        stamp_of(set.depth_1->header.stamp), stamp_of(set.depth_2->header.stamp),
        stamp_of(set.rgb_1->header.stamp));
      pipeline_->process(depth, cameras, color, stamps, output);
    } else {
      RosSystemClock clock;
      ClockStamps stamps(clock);
      pipeline_->process(depth, cameras, color, stamps, output);
    }
    if (const auto resumed = monitor().on_set_processed(set.stamps, SteadyClock::now())) {
      RCLCPP_INFO(get_logger(), "%s", resumed->c_str());
    }
  } catch (const std::exception & error) {
    // One bad frame must not end the node; what was published before the failure stands.
    monitor().on_frame_rejected(error.what(), SteadyClock::now());
    RCLCPP_ERROR_THROTTLE(get_logger(), error_log_clock_, 5000, "Frame dropped: %s", error.what());
  }
}

}  // namespace tavrinox_camera_convertor
