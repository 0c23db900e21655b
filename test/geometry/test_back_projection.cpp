// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include <gtest/gtest.h>
#include <pcl/common/transforms.h>

#include <random>
#include <vector>

#include "tavrinox_camera_convertor/geometry/arm_cloud.hpp"
#include "tavrinox_camera_convertor/geometry/back_projection.hpp"
#include "tavrinox_camera_convertor/geometry/cloud_encoding.hpp"
#include "tavrinox_camera_convertor/geometry/depth_completion.hpp"
#include "tavrinox_camera_convertor/geometry/extrinsic_transform.hpp"
#include "tavrinox_camera_convertor/geometry/instruction_set.hpp"
#include "test_support.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

pcl::PointCloud<pcl::PointXYZ>::Ptr cloud_of(
  std::uint32_t width, std::uint32_t height, const std::vector<std::uint16_t> & mm,
  const CameraIntrinsics & k)
{
  const ImageMessage image = test::make_depth_image(width, height, mm);
  return depth_to_cloud(view_of(image), k);
}

TEST(DepthToCloud, TwoByTwoExampleGivesTwoPointsInRowMajorOrder)
{
  const auto cloud = cloud_of(2, 2, {0, 1000, 0, 2000}, {1.0f, 1.0f, 0.0f, 0.0f});
  ASSERT_EQ(cloud->size(), 2u);
  EXPECT_EQ(cloud->width, 2u);
  EXPECT_EQ(cloud->height, 1u);
  EXPECT_TRUE(cloud->is_dense);
  EXPECT_EQ((*cloud)[0].getVector4fMap(), Eigen::Vector4f(1.0f, 0.0f, 1.0f, 1.0f));
  EXPECT_EQ((*cloud)[1].getVector4fMap(), Eigen::Vector4f(2.0f, 2.0f, 2.0f, 1.0f));
}

TEST(DepthToCloud, EmptyAndAllZeroImagesGiveZeroByZeroClouds)
{
  const CameraIntrinsics k{500.0f, 500.0f, 1.0f, 1.0f};
  for (const auto & cloud :
    {cloud_of(0, 3, {}, k), cloud_of(3, 0, {}, k), cloud_of(2, 2, {0, 0, 0, 0}, k)})
  {
    EXPECT_EQ(cloud->size(), 0u);
    EXPECT_EQ(cloud->width, 0u);
    EXPECT_EQ(cloud->height, 0u);
  }
}

TEST(DepthToCloud, WholeRangeYieldsPointsWithoutUpperLimit)
{
  const auto cloud = cloud_of(3, 1, {1, 65535, 1234}, {2.0f, 2.0f, 1.0f, 0.0f});
  ASSERT_EQ(cloud->size(), 3u);
  EXPECT_EQ((*cloud)[0].z, static_cast<float>(1 / 1000.0));
  EXPECT_EQ((*cloud)[1].z, static_cast<float>(65535 / 1000.0));
  EXPECT_EQ((*cloud)[1].x, 0.0f);  // column 1 is the principal point
  EXPECT_EQ((*cloud)[0].y, 0.0f);
  // (column - cx) * z / fx, in this order and in float
  const float z = static_cast<float>(1234 / 1000.0);
  EXPECT_EQ((*cloud)[2].x, (2.0f - 1.0f) * z / 2.0f);
}

TEST(DepthToCloud, MillimetreTableEqualsTheDivisionForEveryValue)
{
  const MillimetreTable table;
  for (std::uint32_t d = 0; d <= 65535; ++d) {
    ASSERT_EQ(table[static_cast<std::uint16_t>(d)], static_cast<float>(d / 1000.0)) << d;
    // The eight-wide loop multiplies instead of looking up; it relies on this for every value.
    ASSERT_EQ(table[static_cast<std::uint16_t>(d)], static_cast<float>(d * 0.001)) << d;
  }
}

TEST(ArmCloud, FusedPassEqualsBackProjectionThenPclTransformThenEncoding)
{
  std::mt19937 random(7);
  std::uniform_int_distribution<int> depth(0, 65535);
  std::bernoulli_distribution hole(0.3);
  const std::uint32_t width = 61, height = 37;
  std::vector<std::uint16_t> mm(width * height);
  for (auto & value : mm) {
    value = hole(random) ? 0 : static_cast<std::uint16_t>(depth(random));
  }
  const CameraIntrinsics k{523.7f, 519.1f, 30.3f, 17.9f};
  const ExtrinsicTransform e = make_extrinsic_transform(
    {-12.5f, 73.0f, 179.0f}, {-0.31f, 0.62f,
      2.12f});
  const ImageMessage image = test::make_depth_image(width, height, mm);

  pcl::PointCloud<pcl::PointXYZ> arm;
  pcl::transformPointCloud(*depth_to_cloud(view_of(image), k), arm, e);
  pcl::PCLPointCloud2 expected;
  pcl::toPCLPointCloud2(arm, expected);

  std::vector<std::uint16_t> scratch;
  pcl::PCLPointCloud2 fused;
  ArmCloudWriter().write(DepthPixels(view_of(image), "camera 1", scratch), k, e, fused);
  EXPECT_EQ(fused.width, expected.width);
  EXPECT_EQ(fused.row_step, expected.row_step);
  EXPECT_EQ(fused.data, expected.data);
}

TEST(ArmCloud, AllZeroImageGivesAnEmptyCloudAndRendersNothingWithEveryInstructionSet)
{
  // The last rows go through the writer's own buffer, and an empty message has none to copy into.
  const ImageMessage image = test::make_depth_image(9, 5, std::vector<std::uint16_t>(45, 0));
  const CameraIntrinsics k{5.0f, 5.0f, 4.0f, 2.0f};
  const ExtrinsicTransform near = make_extrinsic_transform({0, 0, 0}, {0.0f, 0.0f, 0.5f});
  for (const InstructionSet set :
    {InstructionSet::scalar, InstructionSet::sse2, InstructionSet::avx2})
  {
    if (!is_supported(set)) {
      continue;
    }
    std::vector<std::uint16_t> scratch;
    ImageMessage rendered;
    reset_depth_image(9, 5, rendered);
    const Eigen::Matrix4f identity = Eigen::Matrix4f::Identity();
    const DepthRenderTarget target{identity, k, rendered};
    pcl::PCLPointCloud2 cloud;
    ArmCloudWriter(set).write(
      DepthPixels(
        view_of(
          image), "camera 1", scratch), k, near, cloud, &target);
    EXPECT_EQ(cloud.width, 0u) << to_string(set);
    EXPECT_TRUE(cloud.data.empty()) << to_string(set);
    // Unmeasured pixels would land half a metre ahead, in view: none may be drawn.
    EXPECT_EQ(rendered.data, std::vector<std::uint8_t>(90, 0)) << to_string(set);
  }
}

}  // namespace
}  // namespace tavrinox_camera_convertor
