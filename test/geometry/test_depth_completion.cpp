// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include <Eigen/LU>
#include <gtest/gtest.h>

#include <limits>
#include <vector>

#include "tavrinox_camera_convertor/geometry/depth_completion.hpp"
#include "tavrinox_camera_convertor/geometry/extrinsic_transform.hpp"
#include "tavrinox_camera_convertor/geometry/frame_error.hpp"
#include "test_support.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

using test::depth_at;

const CameraIntrinsics kUnitFocal{1.0f, 1.0f, 0.0f, 0.0f};

ImageMessage render(
  const std::vector<pcl::PointXYZ> & points, std::uint32_t width, std::uint32_t height,
  const CameraIntrinsics & k = kUnitFocal,
  const ExtrinsicTransform & extrinsic = ExtrinsicTransform::Identity())
{
  pcl::PointCloud<pcl::PointXYZ> cloud;
  for (const auto & p : points) {
    cloud.push_back(p);
  }
  ImageMessage image;
  reset_depth_image(width, height, image);
  project_cloud_to_depth(cloud, extrinsic.inverse(), k, image);
  return image;
}

TEST(SaturatingTrunc, TruncatesTowardZeroAndIsDefinedEverywhere)
{
  EXPECT_EQ(saturating_trunc_to_int32(-0.5f), 0);
  EXPECT_EQ(saturating_trunc_to_int32(-1.0f), -1);
  EXPECT_EQ(saturating_trunc_to_int32(639.99f), 639);
  EXPECT_EQ(saturating_trunc_to_int32(std::numeric_limits<float>::quiet_NaN()), 0);
  EXPECT_EQ(saturating_trunc_to_int32(3e9f), std::numeric_limits<std::int32_t>::max());
  EXPECT_EQ(
    saturating_trunc_to_int32(-std::numeric_limits<float>::infinity()),
    std::numeric_limits<std::int32_t>::min());
}

TEST(ProjectCloudToDepth, ColumnsTruncateTowardZero)
{
  // u = X / Z with unit focal length: -0.5 lands in column 0, -1.0 is outside.
  const ImageMessage image = render({{-0.5f, 0.0f, 1.0f}, {-1.0f, 1.0f, 1.0f}}, 2, 2);
  EXPECT_EQ(depth_at(image, 0, 0), 1000);
  EXPECT_EQ(depth_at(image, 1, 0), 0);
  EXPECT_EQ(depth_at(image, 1, 1), 0);
}

TEST(ProjectCloudToDepth, DepthTruncatesAndTheLaterPointWins)
{
  const ImageMessage truncated = render({{0.0f, 0.0f, 1.2345f}}, 1, 1);
  EXPECT_EQ(depth_at(truncated, 0, 0), 1234);
  const ImageMessage later = render({{0.0f, 0.0f, 3.0f}, {0.0f, 0.0f, 2.0f}}, 1, 1);
  EXPECT_EQ(depth_at(later, 0, 0), 2000);
}

TEST(ProjectCloudToDepth, IdentityExtrinsicCentrePointLandsAtThePrincipalPoint)
{
  const ImageMessage image =
    render({{0.0f, 0.0f, 2.0f}}, 640, 480, {525.0f, 525.0f, 320.0f, 240.0f});
  EXPECT_EQ(depth_at(image, 240, 320), 2000);
  EXPECT_EQ(image.encoding, "16UC1");
  EXPECT_EQ(image.step, 1280u);
  std::size_t non_zero = 0;
  for (std::uint32_t r = 0; r < 480; ++r) {
    for (std::uint32_t c = 0; c < 640; ++c) {
      non_zero += depth_at(image, r, c) != 0;
    }
  }
  EXPECT_EQ(non_zero, 1u);
}

TEST(ProjectCloudToDepth, ArmPointsGoThroughTheInverseExtrinsic)
{
  // Camera 1 sits at (0.5, 0, -1) in the arm frame, so the arm point (0.5, 0, 1) is 2 m ahead.
  const ExtrinsicTransform e = make_extrinsic_transform({0.0f, 0.0f, 0.0f}, {0.5f, 0.0f, -1.0f});
  const ImageMessage image = render({{0.5f, 0.0f, 1.0f}}, 3, 3, {100.0f, 100.0f, 1.0f, 1.0f}, e);
  EXPECT_EQ(depth_at(image, 1, 1), 2000);
}

TEST(ProjectCloudToDepth, PointsBehindTheCameraNeverEraseDepth)
{
  // The second point projects onto the same pixel from behind (-Z): it must be skipped.
  const ImageMessage image = render({{0.5f, 0.5f, 1.0f}, {-0.5f, -0.5f, -1.0f}}, 2, 2);
  EXPECT_EQ(depth_at(image, 0, 0), 1000);
  const ImageMessage on_plane = render(
    {{0.0f, 0.0f, 1.0f}, {0.0f, 0.0f, 0.0f}, {0.0f, 0.0f,
        0.0004f}}, 1, 1);
  EXPECT_EQ(depth_at(on_plane, 0, 0), 1000);
}

TEST(ProjectCloudToDepth, DepthsBeyondSixteenBitsAreSkippedNotWrapped)
{
  const ImageMessage image = render(
    {{0.0f, 0.0f, 1.0f}, {0.0f, 0.0f, 65.536f}, {0.0f, 0.0f,
        70.0f}}, 1, 1);
  EXPECT_EQ(depth_at(image, 0, 0), 1000);
  const ImageMessage farthest = render({{0.0f, 0.0f, 65.5355f}}, 1, 1);
  EXPECT_EQ(depth_at(farthest, 0, 0), 65535);
}

TEST(ProjectCloudToDepth, NonFinitePointsWriteNothing)
{
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  // NaN spreads into Z through the matrix product; an infinite X saturates outside the image.
  const ImageMessage image =
    render({{nan, 1.0f, 1.0f}, {inf, 0.0f, 1.0f}, {0.0f, 0.0f, nan}}, 2, 2);
  EXPECT_EQ(image.data, std::vector<std::uint8_t>(8, 0));
}

TEST(OverlayMeasuredDepth, MeasuredPixelsWinAndHolesKeepTheProjection)
{
  ImageMessage image = render({{0.0f, 0.0f, 5.0f}, {1.0f, 0.0f, 1.0f}}, 2, 1);
  ASSERT_EQ(depth_at(image, 0, 0), 5000);
  ASSERT_EQ(depth_at(image, 0, 1), 1000);
  const ImageMessage measured = test::make_depth_image(2, 1, {700, 0});
  std::vector<std::uint16_t> scratch;
  overlay_measured_depth(DepthPixels(view_of(measured), "camera 1", scratch), image);
  EXPECT_EQ(depth_at(image, 0, 0), 700);
  EXPECT_EQ(depth_at(image, 0, 1), 1000);
}

TEST(ResetDepthImage, RejectsRowsThatDoNotFitAThirtyTwoBitStep)
{
  ImageMessage image;
  EXPECT_THROW(reset_depth_image(0x80000000u, 0, image), FrameError);
  reset_depth_image(3, 2, image);
  image.data[0] = 9;
  reset_depth_image(3, 2, image);
  EXPECT_EQ(image.data, std::vector<std::uint8_t>(12, 0));
}

}  // namespace
}  // namespace tavrinox_camera_convertor
