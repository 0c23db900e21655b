// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include <Eigen/Geometry>
#include <gtest/gtest.h>

#include <random>

#include "euler_angles.hpp"
#include "tavrinox_camera_convertor/geometry/extrinsic_transform.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

// The node's matrices are float: a round trip through the angles may differ by a few float steps.
constexpr double kFloatTolerance = 2e-6;

Eigen::Matrix3d node_rotation(const EulerAngles & angles)
{
  return euler_to_rotation(angles[0], angles[1], angles[2]).cast<double>();
}

double largest_difference(const Eigen::Matrix3d & a, const Eigen::Matrix3d & b)
{
  return (a - b).cwiseAbs().maxCoeff();
}

TEST(EulerAngles, RandomRotationsSurviveTheRoundTripThroughTheAngles)
{
  std::mt19937 generator(20260801);
  std::uniform_real_distribution<double> any_angle(-180.0, 180.0);
  for (int i = 0; i < 2000; ++i) {
    // ry over the whole circle too: the inverse must find an equivalent triple with ry in [-90,
    // 90].
    const EulerAngles angles = {any_angle(generator), any_angle(generator), any_angle(generator)};
    const Eigen::Matrix3d rotation = node_rotation(angles);
    const EulerAngles recovered = rotation_to_euler(rotation);
    EXPECT_LE(std::abs(recovered[1]), 90.0);
    EXPECT_LT(largest_difference(node_rotation(recovered), rotation), kFloatTolerance)
      << "angles " << angles[0] << ", " << angles[1] << ", " << angles[2];
  }
}

TEST(EulerAngles, AnglesInsideTheMainRangeComeBackThemselves)
{
  const EulerAngles angles = {-137.0, 2.0, -32.5};
  const EulerAngles recovered = rotation_to_euler(euler_to_rotation_double(angles));
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_NEAR(recovered[i], angles[i], 1e-9);
  }
}

class GimbalLock : public ::testing::TestWithParam<double> {};

TEST_P(GimbalLock, RotationSurvivesWithRxFixedAtZero)
{
  const double ry = GetParam();
  for (const double rx : {-170.0, -30.0, 0.0, 45.0, 120.0}) {
    for (const double rz : {-150.0, -10.0, 0.0, 60.0, 179.0}) {
      const Eigen::Matrix3d rotation = node_rotation({rx, ry, rz});
      const EulerAngles recovered = rotation_to_euler(rotation);
      EXPECT_EQ(recovered[0], 0.0);
      EXPECT_NEAR(recovered[1], ry, 1e-6);
      EXPECT_LT(largest_difference(node_rotation(recovered), rotation), kFloatTolerance)
        << "rx " << rx << ", rz " << rz;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(PlusAndMinusNinety, GimbalLock, ::testing::Values(90.0, -90.0));

TEST(EulerAngles, NoisyRotationNextToTheGimbalLockStaysWhole)
{
  // A product of float matrices carries errors of about 1e-7 in every entry; a thousandth of a
  // degree from the lock those errors decide rx, and rz must make up for whatever rx becomes.
  const Eigen::Matrix3d exact = euler_to_rotation_double({25.0, 89.999, -40.0});
  Eigen::Matrix3d noisy = exact;
  noisy(2, 1) += 3e-7;
  noisy(2, 2) -= 2e-7;
  noisy(1, 0) -= 1e-7;
  const EulerAngles recovered = rotation_to_euler(noisy);
  EXPECT_LT(largest_difference(euler_to_rotation_double(recovered), exact), 1e-6);
}

TEST(EulerAngles, NearestEquivalentFollowsTheConfiguredTriple)
{
  // The rgbd sample's camera: rz = 180 must not come back as -180, nor ry = 100 as 80.
  for (const EulerAngles & configured :
    {EulerAngles{-1.3, 74.1, 180.0}, EulerAngles{10.0, 100.0, 20.0},
      EulerAngles{-137.0, 2.0, 350.0}})
  {
    const Eigen::Matrix3d rotation = euler_to_rotation_double(configured);
    const EulerAngles nearest = nearest_equivalent_angles(rotation_to_euler(rotation), configured);
    for (std::size_t i = 0; i < 3; ++i) {
      EXPECT_NEAR(nearest[i], configured[i], 1e-9);
    }
    EXPECT_LT(largest_difference(euler_to_rotation_double(nearest), rotation), 1e-12);
  }
}

TEST(EulerAngles, DoublePrecisionRotationMatchesTheNodes)
{
  const EulerAngles angles = {-134.1, -1.5, -153.4};
  EXPECT_LT(largest_difference(euler_to_rotation_double(angles), node_rotation(angles)), 1e-7);
}

}  // namespace
}  // namespace tavrinox_camera_convertor
