// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// The node wired as real camera drivers publish: best effort, camera infos, a camera on a moving
// link on TF, and outputs stamped when their images were taken.
#include <gtest/gtest.h>

#include <Eigen/Geometry>

#include <chrono>
#include <cmath>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <rosgraph_msgs/msg/clock.hpp>
#include <sensor_msgs/msg/camera_info.hpp>
#include <tf2_msgs/msg/tf_message.hpp>

#include "node_process.hpp"
#include "output_harness.hpp"
#include "tavrinox_camera_convertor/geometry/back_projection.hpp"
#include "tavrinox_camera_convertor/geometry/camera_config.hpp"
#include "tavrinox_camera_convertor/geometry/camera_info.hpp"
#include "tavrinox_camera_convertor/ros/ros_message_conversions.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

using test::Harness;
using test::InputSet;
using test::kConfig;
using test::stamp_at;
using namespace std::chrono_literals;

/// The node with `arguments` and a harness whose inputs publish with `qos`.
struct Rig
{
  /// @param matching false when the inputs are not meant to match the node's subscriptions
  /// @param second true for a second rig beside the first, in a domain of its own
  explicit Rig(
    const std::vector<std::string> & arguments, rclcpp::QoS qos = rclcpp::QoS(10),
    bool matching = true, bool second = false)
  : config(kConfig), prefix(&config), domain(test::unique_domain_id(second ? 1 : 0)),
    node(TAVRINOX_NODE_EXECUTABLE, prefix, domain, arguments), harness(domain, qos)
  {
    started = node.wait_for_output("Subscribe topic_2:", 20s) &&
      (matching ? harness.wait_for_node(20s) : harness.spin_until(20s, [] {return true;}));
    if (!matching) {
      harness.spin_for(2s);
    }
  }

  /// @brief Publishes sets k = first..last-1, a tenth of a second apart from second 100.
  void publish_sets(int first, int last, const std::vector<int> & offsets_ms = {0, 0, 0, 0})
  {
    for (int k = first; k < last; ++k) {
      harness.publish(InputSet(), at(k), false, offsets_ms);
      harness.spin_for(100ms);
    }
  }

  static builtin_interfaces::msg::Time at(int k)
  {
    return stamp_at(100 + k / 10, static_cast<std::uint32_t>(k % 10) * 100000000u);
  }

  std::string config;
  test::TemporaryPackagePrefix prefix;
  int domain;
  test::NodeProcess node;
  Harness harness;
  bool started = false;
};

sensor_msgs::msg::CameraInfo info_of(const CameraIntrinsics & intrinsics)
{
  const PinholeCameraInfo fields = pinhole_camera_info(intrinsics, test::kWidth, test::kHeight);
  sensor_msgs::msg::CameraInfo info;
  info.width = fields.width;
  info.height = fields.height;
  info.distortion_model = fields.distortion_model;
  info.d = fields.d;
  info.k = fields.k;
  info.r = fields.r;
  info.p = fields.p;
  return info;
}

CameraConfig test_config()
{
  test::TemporaryPackagePrefix prefix(nullptr);
  std::ofstream(prefix.config_path()) << kConfig;
  std::ostringstream printed;
  return load_camera_config(prefix.config_path(), printed);
}

geometry_msgs::msg::TransformStamped pose(
  const std::string & child, builtin_interfaces::msg::Time stamp, double yaw)
{
  geometry_msgs::msg::TransformStamped transform;
  transform.header.frame_id = "test_arm";
  transform.header.stamp = stamp;
  transform.child_frame_id = child;
  transform.transform.translation.x = 0.1;
  transform.transform.rotation.z = std::sin(yaw / 2);
  transform.transform.rotation.w = std::cos(yaw / 2);
  return transform;
}

/// Yaw of the wrist camera at `seconds`: a joint turning at 1 rad/s.
double yaw_at(double seconds) {return seconds - 100.0;}

TEST(RealDrivers, BestEffortDriversReachTheNodeOnlyWhenItAsksForThem)
{
  const rclcpp::QoS sensor_data = rclcpp::SensorDataQoS();
  {
    Rig reliable({}, sensor_data, false);
    ASSERT_TRUE(reliable.started) << reliable.node.output();
    EXPECT_TRUE(reliable.node.wait_for_output("input_reliability:=best_effort", 10s))
      << reliable.node.output();
    EXPECT_NE(reliable.node.output().find("offers best_effort"), std::string::npos);
    reliable.publish_sets(0, 4);
    EXPECT_TRUE(reliable.harness.cam1.empty()) << "a reliable subscription heard best effort";
  }
  Rig best_effort({"--ros-args", "-p", "input_reliability:=best_effort"}, sensor_data);
  ASSERT_TRUE(best_effort.started) << best_effort.node.output();
  best_effort.publish_sets(0, 4);
  EXPECT_TRUE(
    best_effort.harness.spin_until(
      10s,
      [&] {return best_effort.harness.cam1.size() >= 2;}))
    << best_effort.node.output();
  EXPECT_EQ(best_effort.node.output().find("offers best_effort"), std::string::npos);
}

TEST(RealDrivers, CameraInfosWithTheConfigurationsNumbersGiveTheConfigurationsBytes)
{
  const CameraConfig config = test_config();
  Rig from_config({});
  Rig from_info(
    {"--ros-args", "-p", "intrinsics_source:=camera_info", "-p",
      "camera_info_topic_1:=/test/info_1", "-p", "camera_info_topic_2:=/test/info_2"},
    rclcpp::QoS(10), true, true);
  ASSERT_TRUE(from_config.started && from_info.started) << from_info.node.output();
  auto info_1 = from_info.harness.node().create_publisher<sensor_msgs::msg::CameraInfo>(
    "/test/info_1", 10);
  auto info_2 = from_info.harness.node().create_publisher<sensor_msgs::msg::CameraInfo>(
    "/test/info_2", 10);
  // Sets paired before the first infos wait for them rather than being lost.
  from_info.publish_sets(0, 2);
  EXPECT_TRUE(from_info.harness.cam1.empty());
  info_1->publish(info_of(config.intrinsics_1));
  info_2->publish(info_of(config.intrinsics_2));
  from_info.publish_sets(2, 6);
  from_config.publish_sets(0, 6);
  ASSERT_TRUE(from_info.harness.spin_until(10s, [&] {return from_info.harness.cam2.size() >= 5;}))
    << from_info.node.output();
  ASSERT_TRUE(
    from_config.harness.spin_until(
      10s,
      [&] {return from_config.harness.cam2.size() >= 5;}));
  for (std::size_t k = 0; k < 5; ++k) {
    EXPECT_EQ(from_info.harness.cam1[k]->data, from_config.harness.cam1[k]->data) << k;
    EXPECT_EQ(from_info.harness.cam2[k]->data, from_config.harness.cam2[k]->data) << k;
    EXPECT_EQ(from_info.harness.depth[k]->data, from_config.harness.depth[k]->data) << k;
    EXPECT_EQ(from_info.harness.converted[k]->data, from_config.harness.converted[k]->data) << k;
  }
}

TEST(RealDrivers, ACameraOnATurningLinkIsPlacedWithItsPoseAtEachImagesStamp)
{
  Rig rig(
    {"--ros-args", "-p", "extrinsics_source:=tf", "-p", "camera_1_frame:=wrist_camera",
      "-p", "camera_2_frame:=fixed_camera"});
  ASSERT_TRUE(rig.started) << rig.node.output();
  auto tf = rig.harness.node().create_publisher<tf2_msgs::msg::TFMessage>("/tf", 100);
  auto tf_static = rig.harness.node().create_publisher<tf2_msgs::msg::TFMessage>(
    "/tf_static", rclcpp::QoS(1).transient_local());
  tf2_msgs::msg::TFMessage fixed;
  fixed.transforms.push_back(pose("fixed_camera", stamp_at(0), 0.0));
  tf_static->publish(fixed);
  // The wrist turns at 1 rad/s; TF at 100 Hz, each set's stamp between two of its samples.
  const CameraConfig config = test_config();
  const InputSet inputs;
  const auto camera_cloud = depth_to_cloud(image_view(inputs.depth_1), config.intrinsics_1);
  for (int k = 0; k < 6; ++k) {
    for (int tick = 0; tick < 10; ++tick) {
      const int hundredths = 10 * k + tick;
      const auto stamp = stamp_at(100 + hundredths / 100, (hundredths % 100) * 10000000u);
      tf2_msgs::msg::TFMessage sample;
      sample.transforms.push_back(pose("wrist_camera", stamp, yaw_at(100 + hundredths / 100.0)));
      tf->publish(sample);
      rig.harness.spin_for(10ms);
    }
    rig.harness.publish(
      inputs,
      stamp_at(100, static_cast<std::uint32_t>(k) * 100000000u + 5000000u));
  }
  ASSERT_TRUE(rig.harness.spin_until(10s, [&] {return rig.harness.cam1.size() >= 4;}))
    << rig.node.output();
  // Each cloud is the camera's points turned by the yaw at its own image's stamp.
  for (std::size_t k = 0; k < rig.harness.cam1.size(); ++k) {
    const double yaw = yaw_at(100.0 + 0.1 * k + 0.005);
    const Eigen::Affine3f at_stamp =
      Eigen::Translation3f(0.1f, 0.0f, 0.0f) * Eigen::AngleAxisf(
      static_cast<float>(yaw),
      Eigen::Vector3f::UnitZ());
    const Eigen::Affine3f latest =
      Eigen::Translation3f(0.1f, 0.0f, 0.0f) * Eigen::AngleAxisf(0.59f, Eigen::Vector3f::UnitZ());
    const test::PointCloud2 & cloud = *rig.harness.cam1[k];
    ASSERT_EQ(cloud.width, camera_cloud->size());
    float worst = 0.0f;
    float from_latest = 0.0f;
    for (std::size_t p = 0; p < camera_cloud->size(); ++p) {
      Eigen::Vector3f got;
      std::memcpy(got.data(), cloud.data.data() + 16 * p, 12);
      const Eigen::Vector3f point = (*camera_cloud)[p].getVector3fMap();
      worst = std::max(worst, (at_stamp * point - got).norm());
      from_latest = std::max(from_latest, (latest * point - got).norm());
    }
    EXPECT_LT(worst, 1e-4f) << "set " << k;
    EXPECT_GT(from_latest, 1e-2f) << "set " << k << " looks placed with the latest pose";
  }
  EXPECT_NE(
    rig.node.output().find("from TF: wrist_camera in test_arm at stamp 100.005"),
    std::string::npos) << rig.node.output();
}

TEST(RealDrivers, WithoutTfForTwoSecondsSetsAreHeldBackAndGoOnWhenItReturns)
{
  Rig rig(
    {"--ros-args", "-p", "extrinsics_source:=tf", "-p", "camera_1_frame:=wrist_camera",
      "-p", "camera_2_frame:=fixed_camera"});
  ASSERT_TRUE(rig.started) << rig.node.output();
  auto tf_static = rig.harness.node().create_publisher<tf2_msgs::msg::TFMessage>(
    "/tf_static", rclcpp::QoS(10).transient_local());
  tf2_msgs::msg::TFMessage fixed;
  fixed.transforms.push_back(pose("fixed_camera", stamp_at(0), 0.0));
  tf_static->publish(fixed);
  rig.publish_sets(0, 20);
  EXPECT_TRUE(rig.harness.cam1.empty()) << "a set went out without its camera's pose";
  EXPECT_TRUE(rig.node.wait_for_output("Set not published: camera 1: no transform", 5s))
    << rig.node.output();
  tf2_msgs::msg::TFMessage wrist;
  wrist.transforms.push_back(pose("wrist_camera", stamp_at(0), 0.3));
  tf_static->publish(wrist);
  rig.harness.spin_for(300ms);
  rig.publish_sets(20, 25);
  EXPECT_TRUE(rig.harness.spin_until(10s, [&] {return rig.harness.cam1.size() >= 4;}))
    << rig.node.output();
}

TEST(RealDrivers, AcquisitionStampsAreTheInputsStampsAlsoInSimulatedTime)
{
  for (const bool sim_time : {false, true}) {
    SCOPED_TRACE(sim_time ? "use_sim_time" : "wall time");
    std::vector<std::string> arguments = {"--ros-args", "-p", "output_stamp:=acquisition"};
    if (sim_time) {
      arguments.insert(arguments.end(), {"-p", "use_sim_time:=true"});
    }
    Rig rig(arguments);
    ASSERT_TRUE(rig.started) << rig.node.output();
    auto clock = rig.harness.node().create_publisher<rosgraph_msgs::msg::Clock>("/clock", 10);
    rosgraph_msgs::msg::Clock now;
    now.clock = Rig::at(0);
    clock->publish(now);
    // The four stamps of a set a few milliseconds apart, as free-running drivers give them.
    rig.publish_sets(0, 5, {3, 0, 5, 8});
    ASSERT_TRUE(rig.harness.spin_until(10s, [&] {return rig.harness.converted.size() >= 4;}))
      << rig.node.output();
    for (std::size_t k = 0; k < 4; ++k) {
      const auto ms = [k](int offset) {
          auto stamp = Rig::at(static_cast<int>(k));
          stamp.nanosec += static_cast<std::uint32_t>(offset) * 1000000u;
          return stamp;
        };
      EXPECT_EQ(rig.harness.cam1[k]->header.stamp, ms(0));
      EXPECT_EQ(rig.harness.cam2[k]->header.stamp, ms(8));
      EXPECT_EQ(rig.harness.depth[k]->header.stamp, ms(0));
      EXPECT_EQ(rig.harness.color[k]->header.stamp, ms(3));
      EXPECT_EQ(rig.harness.converted[k]->header.stamp, ms(0));
    }
  }
}

}  // namespace
}  // namespace tavrinox_camera_convertor
