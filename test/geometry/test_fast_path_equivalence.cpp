// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// The pipeline against the frame written step by step with the library calls, bit for bit,
// on random images and calibrations.
#include <gtest/gtest.h>
#include <pcl/conversions.h>

#include <Eigen/LU>

#include <random>
#include <utility>
#include <vector>

#include "literal_pipeline.hpp"
#include "tavrinox_camera_convertor/geometry/depth_completion.hpp"
#include "tavrinox_camera_convertor/geometry/instruction_set.hpp"
#include "tavrinox_camera_convertor/pipeline/color_conversion.hpp"
#include "tavrinox_camera_convertor/pipeline/frame_pipeline.hpp"
#include "tavrinox_camera_convertor/pipeline/frame_products.hpp"
#include "test_support.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

void expect_same_cloud(
  const pcl::PCLPointCloud2 & fast, const pcl::PCLPointCloud2 & literal,
  const char * name)
{
  EXPECT_EQ(fast.height, literal.height) << name;
  EXPECT_EQ(fast.width, literal.width) << name;
  EXPECT_EQ(fast.row_step, literal.row_step) << name;
  EXPECT_EQ(fast.point_step, literal.point_step) << name;
  EXPECT_EQ(fast.is_dense, literal.is_dense) << name;
  EXPECT_EQ(fast.is_bigendian, literal.is_bigendian) << name;
  EXPECT_EQ(fast.fields.size(), literal.fields.size()) << name;
  EXPECT_TRUE(fast.data == literal.data) << name << ": encoded points differ";
}

void expect_same_image(const ImageMessage & fast, const ImageMessage & literal, const char * name)
{
  EXPECT_EQ(fast.height, literal.height) << name;
  EXPECT_EQ(fast.width, literal.width) << name;
  EXPECT_EQ(fast.step, literal.step) << name;
  EXPECT_EQ(fast.encoding, literal.encoding) << name;
  EXPECT_EQ(fast.is_bigendian, literal.is_bigendian) << name;
  EXPECT_TRUE(fast.data == literal.data) << name << ": pixels differ";
}

ImageMessage random_depth(
  std::mt19937 & random, std::uint32_t width, std::uint32_t height,
  double holes, int far_mm)
{
  std::uniform_int_distribution<int> depth(300, far_mm);
  std::bernoulli_distribution hole(holes);
  std::vector<std::uint16_t> mm(static_cast<std::size_t>(width) * height);
  for (auto & value : mm) {
    value = hole(random) ? 0 : static_cast<std::uint16_t>(depth(random));
  }
  return test::make_depth_image(width, height, mm);
}

/// Camera 1's image with only `arm_cloud`'s points rendered into it, where nothing else is.
ImageMessage rendered_alone(
  const pcl::PCLPointCloud2 & arm_cloud, const CameraConfig & config, std::uint32_t width,
  std::uint32_t height)
{
  pcl::PointCloud<pcl::PointXYZ> cloud;
  pcl::fromPCLPointCloud2(arm_cloud, cloud);
  ImageMessage image;
  reset_depth_image(width, height, image);
  project_cloud_to_depth(cloud, config.extrinsic_1.inverse(), config.intrinsics_1, image);
  return image;
}

/// Camera 1's holes that points of both cameras land on with different depths: where the order
/// of the merged cloud decides the completed image.
std::size_t holes_both_cameras_fill(
  const ImageMessage & depth_1, const literal::LiteralFrame & frame, const CameraConfig & config)
{
  const std::uint32_t width = depth_1.width;
  const std::uint32_t height = depth_1.height;
  const ImageMessage from_1 = rendered_alone(frame.cam1_cloud, config, width, height);
  const ImageMessage from_2 = rendered_alone(frame.cam2_cloud, config, width, height);
  std::size_t count = 0;
  for (std::size_t k = 0; k + 1 < depth_1.data.size(); k += 2) {
    const bool hole = depth_1.data[k] == 0 && depth_1.data[k + 1] == 0;
    const bool both = (from_1.data[k] | from_1.data[k + 1]) != 0 &&
      (from_2.data[k] | from_2.data[k + 1]) != 0;
    const bool differ =
      from_1.data[k] != from_2.data[k] || from_1.data[k + 1] != from_2.data[k + 1];
    count += hole && both && differ;
  }
  return count;
}

TEST(FastPathEquivalence, RandomFramesMatchTheLiteralLibraryPathBitForBit)
{
  // Camera 2's points are rendered on a second thread and laid over camera 1's; the holes both
  // cameras reach are where that could go wrong, so the trials must contain some.
  std::size_t contested_holes = 0;
  std::mt19937 random(20261208);
  std::uniform_real_distribution<float> angle(-180.0f, 180.0f);
  std::uniform_real_distribution<float> offset(-1.5f, 1.5f);
  std::uniform_real_distribution<float> focal(300.0f, 900.0f);
  for (int trial = 0; trial < 12; ++trial) {
    const std::uint32_t width = 16 + trial * 7, height = 12 + trial * 5;
    CameraConfig config;
    config.arm_frame_id = "arm";
    config.intrinsics_1 =
    {focal(random), focal(random), width / 2.0f + offset(random), height / 2.0f - offset(
        random)};
    config.intrinsics_2 = {focal(random), focal(random), width / 2.0f, height / 2.0f};
    // Half the trials look at the same scene from nearby poses, so projections land inside.
    const bool nearby = trial % 2 == 0;
    config.extrinsic_1 = make_extrinsic_transform(
      {angle(random), angle(random), angle(random)}, {offset(random), offset(random), offset(
          random)});
    config.extrinsic_2 = nearby ?
      make_extrinsic_transform({0.5f, -0.7f, 1.1f}, {0.01f, 0.02f, -0.03f}) * config.extrinsic_1 :
      make_extrinsic_transform(
      {angle(random), angle(random), angle(random)}, {offset(
          random), offset(random), offset(random)});
    // Some nearby trials give camera 1 no holes: camera 2's points land in view but fill nothing.
    const bool no_holes = trial % 4 == 2;
    const ImageMessage depth_1 = random_depth(
      random, width, height, no_holes ? 0.0 : 0.3,
      trial % 3 == 0 ? 65535 : 4000);
    // Such a frame follows one with holes through the same pipeline, whose mask must not linger.
    const ImageMessage previous_depth_1 =
      no_holes ? random_depth(random, width, height, 0.3, 4000) : depth_1;
    const ImageMessage depth_2 = random_depth(
      random, width + trial % 3, height - trial % 2, 0.1,
      4000);
    std::vector<std::uint8_t> rgb(static_cast<std::size_t>(width) * height * 3);
    for (auto & byte : rgb) {
      byte = static_cast<std::uint8_t>(random());
    }
    const ImageMessage rgb_1 = test::make_color_image(width, height, "bgr8", rgb);

    const literal::LiteralFrame expected =
      literal::run_literal_frame(config, view_of(depth_1), view_of(depth_2), view_of(rgb_1));
    contested_holes += holes_both_cameras_fill(depth_1, expected, config);
    for (const auto & [set, threads] : std::vector<std::pair<InstructionSet, unsigned>>{
          {InstructionSet::scalar, 1}, {InstructionSet::sse2, 1}, {InstructionSet::avx2, 1},
          {InstructionSet::scalar, 2}, {InstructionSet::avx2, 2}})
    {
      if (!is_supported(set)) {
        continue;
      }
      FramePipeline pipeline(config, set, threads);
      test::CountingClock clock;
      FrameProducts output;
      // Twice through one pipeline: reused buffers must give the same result as fresh ones.
      for (int pass = 0; pass < 2; ++pass) {
        output = FrameProducts();
        KeepingOutput keeping(output);
        const ImageMessage & pass_depth_1 = pass == 0 ? previous_depth_1 : depth_1;
        pipeline.process(
          {view_of(pass_depth_1), view_of(depth_2)},
          ImageViewColorConverter(view_of(rgb_1)), clock, keeping);
      }
      SCOPED_TRACE(
        "trial " + std::to_string(trial) + ", " + to_string(set) + ", " +
        std::to_string(threads) + " threads");
      expect_same_cloud(output.cam1_cloud.cloud, expected.cam1_cloud, "cam1_cloud");
      expect_same_cloud(output.cam2_cloud.cloud, expected.cam2_cloud, "cam2_cloud");
      expect_same_image(output.completed_depth, expected.depth_image, "depth_image");
      expect_same_image(output.color, expected.color_image, "color_image");
      expect_same_cloud(output.converted_cloud.cloud, expected.converted_cloud, "converted_cloud");
    }
    if (nearby && !no_holes) {
      // The comparison is only meaningful if the projection actually filled something.
      std::size_t filled = 0;
      for (std::size_t k = 0; k < depth_1.data.size(); k += 2) {
        filled += depth_1.data[k] == 0 && depth_1.data[k + 1] == 0 &&
          (expected.depth_image.data[k] != 0 || expected.depth_image.data[k + 1] != 0);
      }
      EXPECT_GT(filled, 0u);
    }
  }
  EXPECT_GT(contested_holes, 0u);
}

}  // namespace
}  // namespace tavrinox_camera_convertor
