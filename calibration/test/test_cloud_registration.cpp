// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include <Eigen/Geometry>
#include <gtest/gtest.h>
#include <pcl/common/transforms.h>

#include "camera_correction.hpp"
#include "cloud_registration.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

using Cloud = pcl::PointCloud<pcl::PointNormal>;

/// A room corner with a box on the floor: planes facing every way, so every motion shows.
Cloud::Ptr corner_with_box()
{
  auto cloud = pcl::make_shared<Cloud>();
  const auto add_patch = [&cloud](const Eigen::Vector3f & origin, const Eigen::Vector3f & u,
      const Eigen::Vector3f & v, float size_u, float size_v) {
      const Eigen::Vector3f normal = u.cross(v).normalized();
      for (float a = 0.0f; a <= size_u; a += 0.005f) {
        for (float b = 0.0f; b <= size_v; b += 0.005f) {
          pcl::PointNormal point;
          point.getVector3fMap() = origin + a * u + b * v;
          point.getNormalVector3fMap() = normal;
          cloud->push_back(point);
        }
      }
    };
  const Eigen::Vector3f x = Eigen::Vector3f::UnitX();
  const Eigen::Vector3f y = Eigen::Vector3f::UnitY();
  const Eigen::Vector3f z = Eigen::Vector3f::UnitZ();
  add_patch({0.0f, 0.0f, 0.0f}, x, y, 0.6f, 0.6f);                   // floor
  add_patch({0.0f, 0.0f, 0.0f}, z, x, 0.3f, 0.6f);                   // wall along x
  add_patch({0.0f, 0.0f, 0.0f}, y, z, 0.6f, 0.3f);                   // wall along y
  add_patch({0.3f, 0.3f, 0.1f}, x, y, 0.1f, 0.1f);                   // box top
  add_patch({0.4f, 0.3f, 0.0f}, y, z, 0.1f, 0.1f);                   // box side facing +x
  add_patch({0.3f, 0.4f, 0.0f}, z, x, 0.1f, 0.1f);                   // box side facing +y
  return cloud;
}

Eigen::Matrix4d small_motion()
{
  Eigen::Matrix4d motion = Eigen::Matrix4d::Identity();
  motion.block<3, 3>(0, 0) =
    Eigen::AngleAxisd(1.5 * 3.141592653589793 / 180.0, Eigen::Vector3d(0.2, -0.3, 1.0).normalized())
    .toRotationMatrix();
  motion.block<3, 1>(0, 3) = Eigen::Vector3d(0.012, -0.006, 0.004);
  return motion;
}

TEST(CloudRegistration, UndoesAKnownMotion)
{
  const Cloud::Ptr reference = corner_with_box();
  const Eigen::Matrix4d motion = small_motion();
  auto moving = pcl::make_shared<Cloud>();
  pcl::transformPointCloudWithNormals(*reference, *moving, motion.cast<float>());

  const RegistrationResult result = register_onto(reference, moving, RegistrationSettings{});
  ASSERT_TRUE(result.converged);
  const Eigen::Matrix4d residual = result.correction * motion;
  const Eigen::Matrix3d residual_rotation = residual.topLeftCorner<3, 3>();
  const Eigen::Vector3d residual_translation = residual.topRightCorner<3, 1>();
  EXPECT_LT(Eigen::AngleAxisd(residual_rotation).angle() * 180.0 / 3.141592653589793, 0.01);
  EXPECT_LT(residual_translation.norm(), 1e-4);
}

TEST(CloudRegistration, ReportsNoConvergenceWhenItRunsOutOfIterations)
{
  const Cloud::Ptr reference = corner_with_box();
  auto moving = pcl::make_shared<Cloud>();
  pcl::transformPointCloudWithNormals(*reference, *moving, small_motion().cast<float>());
  RegistrationSettings settings;
  settings.correspondence_distances_m = {0.05f};
  settings.iterations_per_stage = 1;
  EXPECT_FALSE(register_onto(reference, moving, settings).converged);
}

TEST(CameraCorrection, DescribesHowTheCameraTurnsAndMoves)
{
  ExtrinsicValues configured;
  configured.angles_deg = {-134.1, -1.5, -153.4};
  configured.translation_m = {0.30, 0.60, 0.70};
  // Turn the camera by 1.5 degrees about the vertical through its own centre, then move it 12 mm
  // along x.
  const Eigen::Matrix4d old_extrinsic = extrinsic_of(configured);
  Eigen::Matrix4d correction = Eigen::Matrix4d::Identity();
  correction.block<3, 3>(0, 0) = Eigen::AngleAxisd(
    -1.5 * 3.141592653589793 / 180.0,
    Eigen::Vector3d::UnitZ())
    .toRotationMatrix();
  const Eigen::Vector3d centre = old_extrinsic.block<3, 1>(0, 3);
  correction.block<3, 1>(0, 3) = centre - correction.block<3, 3>(0, 0) * centre + Eigen::Vector3d(
    -0.012, 0.0, 0.0);

  const CameraCorrection result = correct_camera(correction, configured);
  EXPECT_NEAR(result.rotation_deg, 1.5, 1e-9);
  EXPECT_NEAR(result.rotation_axis.z(), -1.0, 1e-9);
  EXPECT_LT((result.camera_shift_m - Eigen::Vector3d(-0.012, 0.0, 0.0)).norm(), 1e-12);
  EXPECT_NEAR(result.corrected_values.angles_deg[0], -134.1, 1e-9);
  EXPECT_NEAR(result.corrected_values.angles_deg[1], -1.5, 1e-9);
  EXPECT_NEAR(result.corrected_values.angles_deg[2], -154.9, 1e-9);
  EXPECT_NEAR(result.corrected_values.translation_m[0], 0.288, 1e-12);
}

TEST(CameraCorrection, LimitsBoundBothTheTurnAndTheMove)
{
  CameraCorrection correction;
  correction.rotation_deg = 1.5;
  correction.camera_shift_m = Eigen::Vector3d(0.0, -0.012, 0.0);
  EXPECT_TRUE(within_limits(correction, 10.0, 100.0));
  EXPECT_TRUE(within_limits(correction, 1.5, 12.0));
  EXPECT_FALSE(within_limits(correction, 1.4, 100.0));
  EXPECT_FALSE(within_limits(correction, 10.0, 11.9));
}

TEST(CameraCorrection, RepairsARotationThatFloatArithmeticLeftSlightlySkewed)
{
  ExtrinsicValues configured;
  configured.angles_deg = {10.0, 20.0, 30.0};
  Eigen::Matrix4d skewed = Eigen::Matrix4d::Identity();
  skewed(0, 1) = 2e-6;
  skewed(1, 1) = 1.0 + 1e-6;
  const CameraCorrection result = correct_camera(skewed, configured);
  const Eigen::Matrix3d rotation = result.corrected_extrinsic.block<3, 3>(0, 0);
  EXPECT_LT(
    (rotation * rotation.transpose() - Eigen::Matrix3d::Identity()).cwiseAbs().maxCoeff(),
    1e-12);
  EXPECT_NEAR(rotation.determinant(), 1.0, 1e-12);
}

}  // namespace
}  // namespace tavrinox_camera_convertor
