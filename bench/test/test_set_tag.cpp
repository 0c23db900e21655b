// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// A set's number written into its images comes out of all five outputs of the real pipeline.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "set_tag.hpp"
#include "synthetic_depth.hpp"
#include "tavrinox_camera_convertor/geometry/extrinsic_transform.hpp"
#include "tavrinox_camera_convertor/pipeline/color_conversion.hpp"
#include "tavrinox_camera_convertor/pipeline/frame_pipeline.hpp"
#include "tavrinox_camera_convertor/pipeline/frame_products.hpp"
#include "test_support.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

TEST(SetTag, SurvivesThePipelineInEveryOutput)
{
  CameraConfig config;
  config.arm_frame_id = "arm";
  config.intrinsics_1 = {300.0f, 300.0f, 80.0f, 60.0f};
  config.intrinsics_2 = config.intrinsics_1;
  // Turned and moved cameras: the cloud tag has to undo a real transform.
  config.extrinsic_1 = make_extrinsic_transform({-120.0f, 5.0f, 30.0f}, {0.25f, -0.55f, 0.75f});
  config.extrinsic_2 = make_extrinsic_transform({-115.0f, -3.0f, 150.0f}, {0.9f, 0.4f, 0.7f});
  constexpr std::uint32_t kWidth = 160;
  constexpr std::uint32_t kHeight = 120;
  FramePipeline pipeline(config);
  for (const std::uint32_t set : {0u, 1u, 0x89ABCDEFu, 0xFFFFFFFFu, 4242u}) {
    SCOPED_TRACE(set);
    ImageMessage depth_1 =
      test::make_depth_image(kWidth, kHeight, synthetic_depth(kWidth, kHeight, 0.1, set));
    ImageMessage depth_2 =
      test::make_depth_image(kWidth, kHeight, synthetic_depth(kWidth, kHeight, 0.02, set + 1));
    write_depth_tag(set, depth_1.data.data());
    write_depth_tag(set, depth_2.data.data());
    ImageMessage rgb;
    rgb.width = kWidth;
    rgb.height = kHeight;
    rgb.encoding = "rgb8";
    rgb.step = 3 * kWidth;
    rgb.data.assign(std::size_t{3} *kWidth * kHeight, 7);
    write_color_tag(set, rgb.data.data());

    FrameProducts products;
    KeepingOutput output(products);
    SystemClock clock;
    const ImageViewColorConverter colour(view_of(rgb));
    pipeline.process({view_of(depth_1), view_of(depth_2)}, colour, clock, output);

    const auto cloud_tag = [](const CloudMessage & message, const ExtrinsicTransform & extrinsic) {
        return read_cloud_tag(message.cloud.data.data(), message.cloud.width, extrinsic);
      };
    EXPECT_EQ(cloud_tag(products.cam1_cloud, config.extrinsic_1), set);
    EXPECT_EQ(cloud_tag(products.cam2_cloud, config.extrinsic_2), set);
    EXPECT_EQ(read_depth_tag(products.completed_depth.data.data()), set);
    EXPECT_EQ(read_color_tag(products.color.data.data()), set);
    EXPECT_EQ(cloud_tag(products.converted_cloud, config.extrinsic_1), set);
  }
}

TEST(SetTag, UntaggedContentIsNotMistakenForATag)
{
  const std::vector<std::uint16_t> plain(16, 1234);
  std::vector<std::uint8_t> row(32);
  std::memcpy(row.data(), plain.data(), row.size());
  EXPECT_FALSE(read_depth_tag(row.data()).has_value());
  const std::vector<std::uint8_t> grey(3 * 16, 7);
  EXPECT_FALSE(read_color_tag(grey.data()).has_value());
  EXPECT_FALSE(read_cloud_tag(row.data(), 1, ExtrinsicTransform::Identity()).has_value());
}

TEST(SyntheticDepth, HasAboutTheAskedShareOfHolesAndIsRepeatable)
{
  const std::vector<std::uint16_t> depth = synthetic_depth(320, 240, 0.1, 3);
  std::size_t holes = 0;
  for (const std::uint16_t value : depth) {
    holes += value == 0;
  }
  EXPECT_GE(holes, depth.size() / 10);
  EXPECT_LT(holes, depth.size() / 10 + depth.size() / 50);
  EXPECT_EQ(depth, synthetic_depth(320, 240, 0.1, 3));
  EXPECT_NE(depth, synthetic_depth(320, 240, 0.1, 4));
  const std::vector<std::uint16_t> full = synthetic_depth(64, 48, 0.0, 3);
  EXPECT_EQ(std::count(full.begin(), full.end(), std::uint16_t{0}), 0);
  const std::vector<std::uint16_t> empty = synthetic_depth(64, 48, 1.0, 3);
  EXPECT_EQ(std::count(empty.begin(), empty.end(), std::uint16_t{0}), 64 * 48);
}

}  // namespace
}  // namespace tavrinox_camera_convertor
