// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// The node among the usual ROS tools: a calibration file of the user's own, camera 1's camera
// info beside its completed depth image, and the cameras on TF.
#include <gtest/gtest.h>
#include <image_geometry/pinhole_camera_model.h>
#include <unistd.h>

#include <Eigen/Geometry>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <geometry_msgs/msg/transform_stamped.hpp>
#include <sensor_msgs/msg/camera_info.hpp>
#include <tf2_msgs/msg/tf_message.hpp>

#include "node_process.hpp"
#include "output_harness.hpp"
#include "tavrinox_camera_convertor/geometry/camera_config.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

using sensor_msgs::msg::CameraInfo;
using test::Harness;
using test::InputSet;
using test::kConfig;
using test::stamp_at;
using namespace std::chrono_literals;

/// @brief The configuration the tests give the node, as the node reads it.
CameraConfig test_config()
{
  test::TemporaryPackagePrefix prefix(nullptr);
  std::ofstream(prefix.config_path()) << kConfig;
  std::ostringstream printed;
  return load_camera_config(prefix.config_path(), printed);
}

/// The node with arguments of the test's own, the harness, and the camera info and /tf_static.
class NodeWithFrames
{
public:
  explicit NodeWithFrames(const std::vector<std::string> & arguments)
  : config_(kConfig), prefix_(&config_), domain_(test::unique_domain_id()),
    node_(TAVRINOX_NODE_EXECUTABLE, prefix_, domain_, arguments), harness_(domain_)
  {
    // Made before the handshake, so that the node has matched them once it answers.
    infos_subscription_ = harness_.node().create_subscription<CameraInfo>(
      "/camera_02/depth/camera_info", 10,
      [this](CameraInfo::ConstSharedPtr info) {infos.push_back(info);});
    tf_subscription_ = harness_.node().create_subscription<tf2_msgs::msg::TFMessage>(
      "/tf_static", rclcpp::QoS(100).transient_local(),
      [this](tf2_msgs::msg::TFMessage::ConstSharedPtr message) {
        for (const auto & transform : message->transforms) {
          transforms[transform.child_frame_id] = transform;
        }
      });
  }

  bool start()
  {
    return node_.wait_for_output("Subscribe topic_2:", 20s) && harness_.wait_for_node(20s);
  }

  /// @brief Publishes `count` sets a tenth of a second apart and waits for their outputs.
  bool run_sets(int count)
  {
    for (int k = 0; k < count; ++k) {
      harness_.publish(InputSet(), stamp_at(100, static_cast<std::uint32_t>(k) * 100000000u));
    }
    // The synchronizer holds a set until the next one shows it is the best it gets.
    return harness_.spin_until(
      15s, [&] {
        return harness_.depth.size() + 1 >= static_cast<std::size_t>(count) &&
        infos.size() >= harness_.depth.size() && harness_.converted.size() >= harness_.depth.size();
      });
  }

  std::string config_;
  test::TemporaryPackagePrefix prefix_;
  int domain_;
  test::NodeProcess node_;
  Harness harness_;
  std::vector<CameraInfo::ConstSharedPtr> infos;
  std::map<std::string, geometry_msgs::msg::TransformStamped> transforms;

private:
  rclcpp::Subscription<CameraInfo>::SharedPtr infos_subscription_;
  rclcpp::Subscription<tf2_msgs::msg::TFMessage>::SharedPtr tf_subscription_;
};

Eigen::Matrix4d matrix_of(const geometry_msgs::msg::TransformStamped & stamped)
{
  const auto & t = stamped.transform;
  Eigen::Matrix4d matrix = Eigen::Matrix4d::Identity();
  matrix.topLeftCorner<3, 3>() =
    Eigen::Quaterniond(t.rotation.w, t.rotation.x, t.rotation.y, t.rotation.z).toRotationMatrix();
  matrix(0, 3) = t.translation.x;
  matrix(1, 3) = t.translation.y;
  matrix(2, 3) = t.translation.z;
  return matrix;
}

float float_at(const std::vector<std::uint8_t> & data, std::size_t offset)
{
  float value;
  std::memcpy(&value, data.data() + offset, sizeof value);
  return value;
}

TEST(RosSystem, CameraInfoPairsWithEveryDepthImageAndTheCamerasAreOnTF)
{
  NodeWithFrames node(
    {"--ros-args", "-p", "camera_1_frame:=camera_1_optical", "-p",
      "camera_2_frame:=camera_2_optical"});
  ASSERT_TRUE(node.start()) << node.node_.output();
  ASSERT_TRUE(node.run_sets(4)) << node.node_.output();
  const CameraConfig config = test_config();

  // Every depth image has its camera info, with the same header, right after it.
  ASSERT_GE(node.harness_.depth.size(), 3u);
  ASSERT_EQ(node.infos.size(), node.harness_.depth.size());
  for (std::size_t k = 0; k < node.infos.size(); ++k) {
    const CameraInfo & info = *node.infos[k];
    const test::Image & depth = *node.harness_.depth[k];
    EXPECT_EQ(info.header, depth.header);
    EXPECT_EQ(info.header.frame_id, "camera_1_optical");
    EXPECT_EQ(node.harness_.color.at(k)->header.frame_id, "camera_1_optical");
    EXPECT_EQ(info.width, depth.width);
    EXPECT_EQ(info.height, depth.height);
    EXPECT_EQ(info.distortion_model, "plumb_bob");
    EXPECT_EQ(info.d, std::vector<double>(5, 0.0));
    EXPECT_EQ(info.k[0], static_cast<double>(config.intrinsics_1.fx));
    EXPECT_EQ(info.k[2], static_cast<double>(config.intrinsics_1.cx));
    EXPECT_EQ(info.k[4], static_cast<double>(config.intrinsics_1.fy));
    EXPECT_EQ(info.k[5], static_cast<double>(config.intrinsics_1.cy));
  }
  // Clouds stay in the arm frame.
  EXPECT_EQ(node.harness_.cam1.at(0)->header.frame_id, "test_arm");

  // Both cameras on /tf_static, each exactly the matrix printed at start-up.
  ASSERT_TRUE(node.harness_.spin_until(10s, [&] {return node.transforms.size() == 2;}));
  for (const auto & [frame, extrinsic] :
    {std::pair<std::string, ExtrinsicTransform>{"camera_1_optical", config.extrinsic_1},
      std::pair<std::string, ExtrinsicTransform>{"camera_2_optical", config.extrinsic_2}})
  {
    const auto & stamped = node.transforms.at(frame);
    EXPECT_EQ(stamped.header.frame_id, "test_arm");
    const Eigen::Matrix4d published = matrix_of(stamped);
    for (int row = 0; row < 4; ++row) {
      for (int column = 0; column < 4; ++column) {
        EXPECT_NEAR(published(row, column), extrinsic(row, column), 1e-6)
          << frame << " at " << row << "," << column;
      }
    }
  }
}

TEST(RosSystem, TheCameraModelAndTFRebuildTheConvertedCloudPointForPoint)
{
  // What depth_image_proc's point_cloud_xyz does with the completed depth image and its camera
  // info, then TF into the arm frame: it must give the node's converted cloud.
  NodeWithFrames node({"--ros-args", "-p", "camera_1_frame:=camera_1_optical"});
  ASSERT_TRUE(node.start()) << node.node_.output();
  ASSERT_TRUE(node.run_sets(3)) << node.node_.output();
  ASSERT_TRUE(node.harness_.spin_until(10s, [&] {return node.transforms.size() == 1;}));
  const test::Image & depth = *node.harness_.depth.at(0);
  const test::PointCloud2 & converted = *node.harness_.converted.at(0);
  image_geometry::PinholeCameraModel model;
  ASSERT_TRUE(model.fromCameraInfo(*node.infos.at(0)));
  const Eigen::Matrix4d camera_to_arm = matrix_of(node.transforms.at("camera_1_optical"));

  const float center_x = static_cast<float>(model.cx());
  const float center_y = static_cast<float>(model.cy());
  const float constant_x = static_cast<float>(0.001 / model.fx());
  const float constant_y = static_cast<float>(0.001 / model.fy());
  std::size_t point = 0;
  double worst = 0.0;
  for (std::uint32_t v = 0; v < depth.height; ++v) {
    for (std::uint32_t u = 0; u < depth.width; ++u) {
      std::uint16_t millimetres;
      std::memcpy(&millimetres, depth.data.data() + v * depth.step + 2 * u, 2);
      if (millimetres == 0) {
        continue;
      }
      const Eigen::Vector4d in_camera(
        (static_cast<float>(u) - center_x) * millimetres * constant_x,
        (static_cast<float>(v) - center_y) * millimetres * constant_y, millimetres * 0.001f, 1.0);
      const Eigen::Vector4d in_arm = camera_to_arm * in_camera;
      ASSERT_LT(point, converted.width);
      for (int axis = 0; axis < 3; ++axis) {
        const double node_value = float_at(converted.data, point * 16 + 4 * axis);
        worst = std::max(worst, std::abs(node_value - in_arm[axis]));
      }
      ++point;
    }
  }
  EXPECT_EQ(point, converted.width) << "one point per measured pixel, in pixel order";
  EXPECT_GT(point, 0u);
  // Float rounding apart (the node divides by fx, depth_image_proc multiplies by 1/fx): a
  // micrometre.
  EXPECT_LT(worst, 1e-6) << "largest difference " << worst << " m";
}

TEST(RosSystem, WithoutFrameNamesImagesHaveNoFrameAndNothingGoesToTF)
{
  NodeWithFrames node({});
  ASSERT_TRUE(node.start()) << node.node_.output();
  ASSERT_TRUE(node.run_sets(3)) << node.node_.output();
  EXPECT_EQ(node.harness_.depth.at(0)->header.frame_id, "");
  EXPECT_EQ(node.infos.at(0)->header.frame_id, "");
  node.harness_.spin_for(1s);
  EXPECT_TRUE(node.transforms.empty());
}

TEST(RosSystem, ConfigFileParameterNamesTheFileTheNodeReads)
{
  // The package's file says test_arm; the user's own says users_arm.
  const std::string mine_text = std::string(kConfig).replace(
    std::string(kConfig).find("test_arm"), 8, "users_arm");
  const std::filesystem::path mine = std::filesystem::temp_directory_path() /
    ("tavrinox_users_config_" + std::to_string(getpid()) + ".yaml");
  std::ofstream(mine) << mine_text;
  {
    NodeWithFrames node({"--ros-args", "-p", "config_file:=" + mine.string()});
    ASSERT_TRUE(node.start()) << node.node_.output();
    ASSERT_TRUE(node.run_sets(3)) << node.node_.output();
    EXPECT_EQ(node.harness_.cam1.at(0)->header.frame_id, "users_arm");
  }
  std::filesystem::remove(mine);
}

/// @brief Starts the node with `arguments`, which must make it refuse to start; its output.
std::string refused_start(const std::vector<std::string> & arguments)
{
  const std::string config = kConfig;
  test::TemporaryPackagePrefix prefix(&config);
  test::NodeProcess node(TAVRINOX_NODE_EXECUTABLE, prefix, test::unique_domain_id(), arguments);
  EXPECT_EQ(node.wait_for_exit(20s), 1) << node.output();
  const std::string output = node.output();
  EXPECT_NE(output.find("[FATAL]"), std::string::npos) << output;
  EXPECT_EQ(output.find("Subscribe topic_1"), std::string::npos) << output;
  return output;
}

TEST(RosSystem, AConfigFileThatCannotBeReadIsNamedAndEndsTheNodeWithStatusOne)
{
  const std::string missing = "/tmp/tavrinox_no_such_config_" + std::to_string(getpid()) + ".yaml";
  std::string output = refused_start({"--ros-args", "-p", "config_file:=" + missing});
  EXPECT_NE(
    output.find("Cannot start: bad file: " + missing + " (configuration file: " + missing + ")"),
    std::string::npos) << output;

  const std::string directory = std::filesystem::temp_directory_path().string();
  output = refused_start({"--ros-args", "-p", "config_file:=" + directory});
  EXPECT_NE(output.find("(a directory, not a file)"), std::string::npos) << output;
}

TEST(RosSystem, FrameNamesTFCannotTakeAreRefusedNamingTheParameter)
{
  std::string output = refused_start({"--ros-args", "-p", "camera_1_frame:=/camera_1"});
  EXPECT_NE(
    output.find(
      "Cannot start: parameter camera_1_frame = \"/camera_1\" is not a valid frame id: frame "
      "ids have no leading slash"), std::string::npos) << output;
  output = refused_start({"--ros-args", "-p", "camera_2_frame:=camera two"});
  EXPECT_NE(output.find("parameter camera_2_frame = \"camera two\""), std::string::npos) << output;
  output = refused_start({"--ros-args", "-p", "camera_2_frame:=test_arm"});
  EXPECT_NE(output.find("names the arm frame itself"), std::string::npos) << output;
  // The sources of real drivers take one of their words, and tf_timeout a sane number.
  for (const std::string & setting :
    {"input_reliability:=sensor_data", "intrinsics_source:=camerainfo",
      "extrinsics_source:=urdf", "output_stamp:=later", "tf_timeout:=-1.0"})
  {
    output = refused_start({"--ros-args", "-p", setting});
    EXPECT_NE(
      output.find("Cannot start: parameter " + setting.substr(0, setting.find(':'))),
      std::string::npos) << output;
  }
}

}  // namespace
}  // namespace tavrinox_camera_convertor
