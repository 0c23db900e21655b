// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include <gtest/gtest.h>

#include <Eigen/Geometry>

#include "cloud_agreement.hpp"
#include "overlap_shift.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

using Cloud = pcl::PointCloud<pcl::PointNormal>;

/// A square of the plane z = height, points every 5 mm from (x0, 0) on, normals along `normal_z`.
Cloud::Ptr square(float x0, float height, float normal_z, int side = 40)
{
  auto cloud = pcl::make_shared<Cloud>();
  for (int i = 0; i < side; ++i) {
    for (int j = 0; j < side; ++j) {
      pcl::PointNormal point;
      point.x = x0 + 0.005f * static_cast<float>(i);
      point.y = 0.005f * static_cast<float>(j);
      point.z = height;
      point.normal_x = 0.0f;
      point.normal_y = 0.0f;
      point.normal_z = normal_z;
      cloud->push_back(point);
    }
  }
  return cloud;
}

TEST(CloudAgreement, MeasuresTheDistanceAcrossTheSurfaceNotTheSpacing)
{
  const Cloud::Ptr reference = square(0.0f, 0.0f, 1.0f);
  // Half a spacing aside and 3 mm above: 3.5 mm to the nearest point, 3 mm to the surface.
  Cloud::Ptr compared = square(0.0025f, 0.003f, 1.0f);
  const Agreement agreement = measure_agreement(reference, *compared);
  EXPECT_EQ(agreement.points, compared->size());
  EXPECT_EQ(agreement.overlap_points, compared->size());
  EXPECT_EQ(agreement.overlap.size(), compared->size());
  EXPECT_NEAR(agreement.median_mm, 3.0, 1e-3);
  EXPECT_NEAR(agreement.p90_mm, 3.0, 1e-3);
  EXPECT_DOUBLE_EQ(agreement.overlap_share(), 1.0);
}

TEST(CloudAgreement, PointsWithoutANeighbourWithinTwoCentimetresAreOutsideTheOverlap)
{
  const Cloud::Ptr reference = square(0.0f, 0.0f, 1.0f);
  Cloud compared = *square(0.0f, 0.001f, 1.0f);
  // As many points again, 2.5 cm above the reference: seen by the compared camera only.
  compared += *square(0.0f, 0.025f, 1.0f);
  const Agreement agreement = measure_agreement(reference, compared);
  EXPECT_EQ(agreement.points, compared.size());
  EXPECT_EQ(agreement.overlap_points, compared.size() / 2);
  EXPECT_DOUBLE_EQ(agreement.overlap_share(), 0.5);
  EXPECT_NEAR(agreement.median_mm, 1.0, 1e-3);
  EXPECT_NEAR(agreement.p90_mm, 1.0, 1e-3);
}

TEST(CloudAgreement, SurfacesFacingApartCountAsOverlapButNotAsDistance)
{
  const Cloud::Ptr reference = square(0.0f, 0.0f, 1.0f);
  Cloud compared = *square(0.0f, 0.002f, 1.0f, 20);
  // The other face of an edge: near, but its surface faces away from the reference's.
  compared += *square(0.0f, 0.010f, -1.0f, 20);
  const Agreement agreement = measure_agreement(reference, compared);
  EXPECT_EQ(agreement.overlap_points, compared.size());
  EXPECT_EQ(agreement.overlap.size(), compared.size() / 2);
  EXPECT_NEAR(agreement.median_mm, 2.0, 1e-3);
  EXPECT_NEAR(agreement.p90_mm, 2.0, 1e-3);
}

TEST(CloudAgreement, NothingToCompareGivesNoOverlap)
{
  const Agreement agreement = measure_agreement(square(0.0f, 0.0f, 1.0f), Cloud());
  EXPECT_EQ(agreement.points, 0u);
  EXPECT_EQ(agreement.overlap_points, 0u);
  EXPECT_DOUBLE_EQ(agreement.overlap_share(), 0.0);
}

TEST(OverlapShift, IsHowFarTheCorrectionMovesThePoints)
{
  std::vector<OverlapPoint> overlap;
  for (int i = 1; i <= 10; ++i) {
    overlap.push_back({Eigen::Vector3f(0.1f * static_cast<float>(i), 0.0f, 0.0f), 0.0f});
  }
  Eigen::Matrix4d translation = Eigen::Matrix4d::Identity();
  translation(1, 3) = 0.004;
  EXPECT_NEAR(measure_overlap_shift(overlap, translation).median_mm, 4.0, 1e-6);

  // A turn about z through the origin moves a point at radius r by 2 r sin(angle / 2).
  Eigen::Matrix4d turn = Eigen::Matrix4d::Identity();
  const double angle = 0.01;
  turn.block<3, 3>(0, 0) = Eigen::AngleAxisd(angle, Eigen::Vector3d::UnitZ()).toRotationMatrix();
  const OverlapShift shift = measure_overlap_shift(overlap, turn);
  EXPECT_NEAR(shift.median_mm, 1000.0 * 2.0 * 0.6 * std::sin(angle / 2.0), 1e-3);
  EXPECT_NEAR(shift.p90_mm, 1000.0 * 2.0 * 0.9 * std::sin(angle / 2.0), 1e-3);
}

}  // namespace
}  // namespace tavrinox_camera_convertor
