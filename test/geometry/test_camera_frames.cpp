// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// The cameras' poses as TF carries them, and the frame names users give them.
#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>
#include <string>

#include "tavrinox_camera_convertor/geometry/camera_frames.hpp"
#include "tavrinox_camera_convertor/geometry/extrinsic_transform.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

TEST(FramePose, GivesBackTheExtrinsicMatrixToFloatPrecision)
{
  // Angles that exercise every quaternion branch: small, beyond 90 degrees, near 180 about
  // each axis, and a gimbal-lock pitch.
  const std::array<std::array<float, 3>, 7> angles = {{
    {0.0f, 0.0f, 0.0f}, {-120.0f, 33.3f, 55.0f}, {179.9f, 0.0f, 0.0f}, {0.0f, 179.9f, 0.0f},
    {0.0f, 0.0f, -179.9f}, {12.0f, 90.0f, -7.0f}, {-178.0f, -45.0f, 170.0f}}};
  for (const auto & rxyz : angles) {
    const ExtrinsicTransform extrinsic = make_extrinsic_transform(rxyz, {0.25f, -0.55f, 1.75f});
    const FramePose pose = frame_pose(extrinsic);
    const double norm = std::sqrt(
      pose.rotation[0] * pose.rotation[0] + pose.rotation[1] * pose.rotation[1] +
      pose.rotation[2] * pose.rotation[2] + pose.rotation[3] * pose.rotation[3]);
    EXPECT_NEAR(norm, 1.0, 1e-12);
    const Eigen::Matrix4d back = matrix_of(pose);
    for (int row = 0; row < 4; ++row) {
      for (int column = 0; column < 4; ++column) {
        EXPECT_NEAR(back(row, column), extrinsic(row, column), 1e-6)
          << "angles " << rxyz[0] << " " << rxyz[1] << " " << rxyz[2] << " at " << row << ","
          << column;
      }
    }
    // The translation is carried as given, to the bit.
    EXPECT_EQ(pose.translation[0], static_cast<double>(0.25f));
    EXPECT_EQ(pose.translation[2], static_cast<double>(1.75f));
  }
}

TEST(FramePose, RotatesAboutTheArmAxesAsTheConfigurationSays)
{
  // 90 degrees about z: the camera's x axis lies along the arm's y axis.
  const FramePose pose = frame_pose(make_extrinsic_transform({0.0f, 0.0f, 90.0f}, {0, 0, 0}));
  EXPECT_NEAR(pose.rotation[2], std::sqrt(0.5), 1e-7);
  EXPECT_NEAR(pose.rotation[3], std::sqrt(0.5), 1e-7);
  EXPECT_NEAR(pose.rotation[0], 0.0, 1e-7);
  EXPECT_NEAR(pose.rotation[1], 0.0, 1e-7);
}

std::string refusal(
  const std::string & arm, const std::string & camera_1, const std::string & camera_2)
{
  try {
    require_valid_camera_frames(arm, camera_1, camera_2);
  } catch (const std::invalid_argument & error) {
    return error.what();
  }
  return "";
}

TEST(CameraFrames, UnsetNamesAndValidOnesPass)
{
  EXPECT_EQ(refusal("base_link", "", ""), "");
  EXPECT_EQ(refusal("base_link", "camera_1_optical", ""), "");
  EXPECT_EQ(refusal("base_link", "", "arm/camera_2"), "");
  EXPECT_EQ(refusal("base_link", "cam_1", "cam_2"), "");
}

TEST(CameraFrames, NamesTFCannotTakeAreRefusedNamingTheParameter)
{
  EXPECT_EQ(
    refusal("base_link", "   ", ""),
    "parameter camera_1_frame = \"   \" is not a valid frame id: it is empty");
  EXPECT_EQ(
    refusal("base_link", "", "/camera_2"),
    "parameter camera_2_frame = \"/camera_2\" is not a valid frame id: frame ids have no "
    "leading slash");
  EXPECT_EQ(
    refusal("base_link", "camera 1", ""),
    "parameter camera_1_frame = \"camera 1\" is not a valid frame id: it contains whitespace or "
    "control characters");
  EXPECT_NE(refusal("base_link", "", "camera_2\t").find("camera_2_frame"), std::string::npos);
  EXPECT_NE(refusal("base_link", " camera_1", "").find("whitespace"), std::string::npos);
}

TEST(CameraFrames, ACameraFrameMustBeItsOwn)
{
  EXPECT_NE(
    refusal("base_link", "base_link", "").find(
      "camera_1_frame = \"base_link\" names the arm frame"),
    std::string::npos);
  EXPECT_NE(
    refusal("base_link", "camera", "camera").find("camera_1_frame and camera_2_frame both name"),
    std::string::npos);
}

}  // namespace
}  // namespace tavrinox_camera_convertor
