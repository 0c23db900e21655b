// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// Outputs nobody listens to are not made, and the others come out exactly as when all are.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "tavrinox_camera_convertor/geometry/frame_error.hpp"
#include "tavrinox_camera_convertor/pipeline/color_conversion.hpp"
#include "tavrinox_camera_convertor/pipeline/frame_pipeline.hpp"
#include "tavrinox_camera_convertor/pipeline/frame_products.hpp"
#include "test_support.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

constexpr std::uint32_t kWidth = 16;
constexpr std::uint32_t kHeight = 12;

const std::vector<OutputKind> kAll = {
  OutputKind::cam1_cloud, OutputKind::cam2_cloud, OutputKind::depth_image, OutputKind::color_image,
  OutputKind::converted_cloud};

struct Frame
{
  ImageMessage depth_1;
  ImageMessage depth_2;
  ImageMessage rgb_1;
};

/// Camera 2 sits 2 cm beside camera 1, so its points land on camera 1's holes.
CameraConfig config()
{
  CameraConfig config = test::identity_config();
  config.intrinsics_1 = {10.0f, 10.0f, 7.5f, 5.5f};
  config.intrinsics_2 = config.intrinsics_1;
  config.extrinsic_2(0, 3) = 0.02f;
  return config;
}

/// A frame of its own per seed: camera 1 with about a quarter holes, camera 2 with a few.
Frame random_frame(unsigned seed)
{
  std::mt19937 random(seed);
  std::uniform_int_distribution<int> depth(600, 1400);
  std::vector<std::uint16_t> mm_1(kWidth * kHeight);
  std::vector<std::uint16_t> mm_2(kWidth * kHeight);
  for (std::size_t i = 0; i < mm_1.size(); ++i) {
    mm_1[i] = random() % 4 == 0 ? 0 : static_cast<std::uint16_t>(depth(random));
    mm_2[i] = random() % 10 == 0 ? 0 : static_cast<std::uint16_t>(depth(random));
  }
  std::vector<std::uint8_t> bgr(3 * kWidth * kHeight);
  for (std::uint8_t & byte : bgr) {
    byte = static_cast<std::uint8_t>(random());
  }
  return {test::make_depth_image(kWidth, kHeight, mm_1), test::make_depth_image(
      kWidth, kHeight,
      mm_2),
    test::make_color_image(kWidth, kHeight, "bgr8", bgr)};
}

OutputSet set_of(unsigned bits)
{
  OutputSet set;
  for (const OutputKind kind : kAll) {
    if ((bits >> static_cast<unsigned>(kind)) & 1u) {
      set = set.with(kind);
    }
  }
  return set;
}

FrameProducts run(
  FramePipeline & pipeline, const Frame & frame, OutputSet wanted, Clock & clock,
  const ColorConverter * color = nullptr)
{
  FrameProducts products;
  KeepingOutput output(products, Keeping::copy, wanted);
  const ImageViewColorConverter own_color(view_of(frame.rgb_1));
  pipeline.process(
    {view_of(frame.depth_1), view_of(frame.depth_2)}, color ? *color : own_color, clock, output);
  return products;
}

/// The outputs of `frame` with every output wanted, from a fresh pipeline.
FrameProducts everything(const Frame & frame)
{
  FramePipeline pipeline(config());
  test::CountingClock clock;
  return run(pipeline, frame, OutputSet::all(), clock);
}

/// Every wanted output equals its counterpart in `all`, and nothing else was handed over.
void expect_wanted_part_of(const FrameProducts & got, const FrameProducts & all, OutputSet wanted)
{
  std::vector<OutputKind> expected_order;
  for (const OutputKind kind : kAll) {
    if (wanted.contains(kind)) {
      expected_order.push_back(kind);
    }
  }
  ASSERT_EQ(got.published, expected_order);
  for (const OutputKind kind : got.published) {
    const int index = static_cast<int>(kind);
    if (kind == OutputKind::depth_image || kind == OutputKind::color_image) {
      const ImageMessage & image = image_of(got, kind);
      const ImageMessage & reference = image_of(all, kind);
      EXPECT_EQ(image.data, reference.data) << "output " << index;
      EXPECT_EQ(image.width, reference.width) << "output " << index;
      EXPECT_EQ(image.height, reference.height) << "output " << index;
      EXPECT_EQ(image.step, reference.step) << "output " << index;
      EXPECT_EQ(image.encoding, reference.encoding) << "output " << index;
      EXPECT_EQ(image.header.frame_id, "") << "output " << index;
    } else {
      const pcl::PCLPointCloud2 & cloud = cloud_of(got, kind).cloud;
      const pcl::PCLPointCloud2 & reference = cloud_of(all, kind).cloud;
      EXPECT_EQ(cloud.data, reference.data) << "output " << index;
      EXPECT_EQ(cloud.width, reference.width) << "output " << index;
      EXPECT_EQ(cloud.row_step, reference.row_step) << "output " << index;
      EXPECT_EQ(cloud_of(got, kind).header.frame_id, "arm_base") << "output " << index;
    }
  }
}

TEST(WantedOutputs, EverySubsetGivesExactlyItsOutputsInOrderAndReadsTheClockOnlyForThem)
{
  const Frame frame = random_frame(1);
  const FrameProducts all = everything(frame);
  ASSERT_GT(all.converted_cloud.cloud.width, all.cam1_cloud.cloud.width) << "nothing was filled";
  for (unsigned bits = 0; bits < 32; ++bits) {
    SCOPED_TRACE("wanted bits " + std::to_string(bits));
    const OutputSet wanted = set_of(bits);
    FramePipeline pipeline(config());
    test::CountingClock clock;
    const FrameProducts got = run(pipeline, frame, wanted, clock);
    expect_wanted_part_of(got, all, wanted);
    // One reading per cloud, one shared by the images; stamps still rise in publication order.
    const bool an_image =
      wanted.contains(OutputKind::depth_image) || wanted.contains(OutputKind::color_image);
    const int clouds = wanted.contains(OutputKind::cam1_cloud) + wanted.contains(
      OutputKind::cam2_cloud) +
      wanted.contains(OutputKind::converted_cloud);
    EXPECT_EQ(clock.readings, clouds + (an_image ? 1 : 0));
    if (wanted.contains(OutputKind::depth_image) && wanted.contains(OutputKind::color_image)) {
      EXPECT_EQ(got.completed_depth.header.stamp.sec, got.color.header.stamp.sec);
    }
  }
}

TEST(WantedOutputs, ListenersComingAndGoingBetweenFramesNeverSeeAnotherFramesData)
{
  // One pipeline, as in the node; each frame's listeners are a random subset.
  FramePipeline pipeline(config());
  std::mt19937 random(7);
  for (unsigned frame_number = 0; frame_number < 60; ++frame_number) {
    SCOPED_TRACE("frame " + std::to_string(frame_number));
    const Frame frame = random_frame(100 + frame_number);
    const OutputSet wanted = set_of(static_cast<unsigned>(random() % 32));
    test::CountingClock clock;
    expect_wanted_part_of(run(pipeline, frame, wanted, clock), everything(frame), wanted);
  }
}

TEST(WantedOutputs, ColourIsConvertedWheneverTheConvertedCloudListensSinceAFailureWithholdsIt)
{
  const Frame frame = random_frame(3);
  const test::FailingColorConverter failing;
  test::CountingClock clock;
  FramePipeline pipeline(config());
  const OutputSet converted_only = OutputSet::none().with(OutputKind::converted_cloud);
  FrameProducts products;
  KeepingOutput output(products, Keeping::copy, converted_only);
  EXPECT_THROW(
    pipeline.process({view_of(frame.depth_1), view_of(frame.depth_2)}, failing, clock, output),
    std::runtime_error);
  EXPECT_TRUE(products.published.empty());

  // Without a listener after it, the colour image's conversion cannot stop anything.
  const OutputSet earlier = OutputSet::none().with(OutputKind::cam2_cloud).with(
    OutputKind::depth_image);
  const FrameProducts got = run(pipeline, frame, earlier, clock, &failing);
  expect_wanted_part_of(got, everything(frame), earlier);
}

TEST(WantedOutputs, WithNobodyListeningABadDepthImageIsStillRefusedAndNothingElseHappens)
{
  Frame frame = random_frame(4);
  FramePipeline pipeline(config());
  test::CountingClock clock;
  const FrameProducts nothing = run(pipeline, frame, OutputSet::none(), clock);
  EXPECT_TRUE(nothing.published.empty());
  EXPECT_EQ(clock.readings, 0);

  frame.depth_2.encoding = "8UC1";
  EXPECT_THROW(run(pipeline, frame, OutputSet::none(), clock), FrameError);
  // A camera 1 image too wide for a 16-bit row is refused even when only camera 2's cloud listens.
  Frame too_wide = random_frame(5);
  too_wide.depth_1.width = 3000000000u;
  too_wide.depth_1.height = 0;
  too_wide.depth_1.step = 0;
  too_wide.depth_1.data.clear();
  EXPECT_THROW(
    run(pipeline, too_wide, OutputSet::none().with(OutputKind::cam2_cloud), clock), FrameError);
}

TEST(OutputSet, AddsRemovesAndComparesMembers)
{
  const OutputSet two =
    OutputSet::none().with(OutputKind::cam1_cloud).with(OutputKind::color_image);
  EXPECT_TRUE(two.contains(OutputKind::cam1_cloud));
  EXPECT_TRUE(two.contains(OutputKind::color_image));
  EXPECT_FALSE(two.contains(OutputKind::depth_image));
  EXPECT_EQ(
    two.without(OutputKind::cam1_cloud).without(OutputKind::color_image),
    OutputSet::none());
  EXPECT_TRUE(OutputSet::none().empty());
  for (const OutputKind kind : kAll) {
    EXPECT_TRUE(OutputSet::all().contains(kind));
  }
  EXPECT_NE(OutputSet::all().without(OutputKind::converted_cloud), OutputSet::all());
}

}  // namespace
}  // namespace tavrinox_camera_convertor
