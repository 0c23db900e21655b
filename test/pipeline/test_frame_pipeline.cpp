// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "tavrinox_camera_convertor/geometry/arm_cloud.hpp"
#include "tavrinox_camera_convertor/geometry/extrinsic_transform.hpp"
#include "tavrinox_camera_convertor/geometry/frame_error.hpp"
#include "tavrinox_camera_convertor/pipeline/color_conversion.hpp"
#include "tavrinox_camera_convertor/pipeline/frame_pipeline.hpp"
#include "tavrinox_camera_convertor/pipeline/frame_products.hpp"
#include "test_support.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

using test::CountingClock;
const std::vector<OutputKind> kAllOutputs = {
  OutputKind::cam1_cloud, OutputKind::cam2_cloud, OutputKind::depth_image, OutputKind::color_image,
  OutputKind::converted_cloud};
const std::vector<OutputKind> kCloudOutputs = {
  OutputKind::cam1_cloud, OutputKind::cam2_cloud, OutputKind::converted_cloud};

struct Frame
{
  ImageMessage depth_1;
  ImageMessage depth_2;
  ImageMessage rgb_1;
};

/// 4 x 3 images: camera 1 has a hole at (row 1, column 2) that camera 2, at the same pose, sees.
Frame small_frame()
{
  Frame frame;
  std::vector<std::uint16_t> depth_1(12, 1500);
  depth_1[1 * 4 + 2] = 0;
  frame.depth_1 = test::make_depth_image(4, 3, depth_1);
  frame.depth_2 = test::make_depth_image(4, 3, std::vector<std::uint16_t>(12, 1000));
  std::vector<std::uint8_t> bgr;
  for (int i = 0; i < 12; ++i) {
    bgr.insert(bgr.end(), {10, 20, static_cast<std::uint8_t>(30 + i)});
  }
  frame.rgb_1 = test::make_color_image(4, 3, "bgr8", bgr);
  return frame;
}

CameraConfig small_config()
{
  CameraConfig config = test::identity_config();
  config.intrinsics_1 = {4.0f, 4.0f, 1.5f, 1.0f};
  config.intrinsics_2 = config.intrinsics_1;
  return config;
}

FrameProducts run(
  FramePipeline & pipeline, const Frame & frame, Clock & clock, OutputSet wanted = OutputSet::all())
{
  FrameProducts products;
  KeepingOutput output(products, Keeping::copy, wanted);
  pipeline.process(
    {view_of(frame.depth_1), view_of(frame.depth_2)}, ImageViewColorConverter(view_of(frame.rgb_1)),
    clock, output);
  return products;
}

TEST(FramePipeline, PublishesFiveOutputsInOrderWithTheirOwnStamps)
{
  FramePipeline pipeline(small_config());
  CountingClock clock;
  const FrameProducts output = run(pipeline, small_frame(), clock);
  EXPECT_EQ(output.published, kAllOutputs);
  // One reading per cloud and a single shared reading for both images, taken in between.
  EXPECT_EQ(output.cam1_cloud.header.stamp.sec, 1);
  EXPECT_EQ(output.cam2_cloud.header.stamp.sec, 2);
  EXPECT_EQ(output.completed_depth.header.stamp.sec, 3);
  EXPECT_EQ(output.color.header.stamp.sec, 3);
  EXPECT_EQ(output.converted_cloud.header.stamp.sec, 4);
  EXPECT_EQ(clock.readings, 4);
  for (const OutputKind cloud : kCloudOutputs) {
    EXPECT_EQ(cloud_of(output, cloud).header.frame_id, "arm_base");
  }
  EXPECT_EQ(output.completed_depth.header.frame_id, "");
  EXPECT_EQ(output.color.header.frame_id, "");
}

TEST(FramePipeline, FillsCameraOneHolesFromCameraTwoAndKeepsMeasuredDepth)
{
  FramePipeline pipeline(small_config());
  CountingClock clock;
  const FrameProducts output = run(pipeline, small_frame(), clock);
  const ImageMessage & depth = output.completed_depth;
  EXPECT_EQ(depth.encoding, "16UC1");
  EXPECT_EQ(depth.width, 4u);
  EXPECT_EQ(depth.height, 3u);
  EXPECT_EQ(depth.step, 8u);
  EXPECT_EQ(test::depth_at(depth, 1, 2), 1000);
  EXPECT_EQ(test::depth_at(depth, 0, 0), 1500);
  EXPECT_EQ(output.cam1_cloud.cloud.width, 11u);
  EXPECT_EQ(output.cam2_cloud.cloud.width, 12u);
  EXPECT_EQ(output.converted_cloud.cloud.width, 12u);
  // A measured pixel gives the converted cloud exactly camera 1's arm-frame point.
  const auto & cam1 = output.cam1_cloud.cloud.data;
  const auto & converted = output.converted_cloud.cloud.data;
  EXPECT_TRUE(std::equal(cam1.begin(), cam1.begin() + 16 * 6, converted.begin()));
}

TEST(FramePipeline, ColourImageIsConvertedToRgb8)
{
  FramePipeline pipeline(small_config());
  CountingClock clock;
  const ImageMessage color = run(pipeline, small_frame(), clock).color;
  EXPECT_EQ(color.encoding, "rgb8");
  EXPECT_EQ(color.step, 12u);
  ASSERT_EQ(color.data.size(), 36u);
  EXPECT_EQ(color.data[0], 30);
  EXPECT_EQ(color.data[1], 20);
  EXPECT_EQ(color.data[2], 10);
  EXPECT_EQ(color.data[33], 41);
}

TEST(FramePipeline, ArmTranslationReachesTheCameraOneCloud)
{
  CameraConfig config = small_config();
  config.intrinsics_1 = {1.0f, 1.0f, 0.0f, 0.0f};
  config.extrinsic_1(0, 3) = 0.1f;
  FramePipeline pipeline(config);
  Frame frame = small_frame();
  frame.depth_1 = test::make_depth_image(1, 1, {1000});
  CountingClock clock;
  const FrameProducts output = run(pipeline, frame, clock);
  const test::Record point = test::record_at(output.cam1_cloud.cloud.data, 0);
  EXPECT_EQ(point.x, 0.1f);
  EXPECT_EQ(point.y, 0.0f);
  EXPECT_EQ(point.z, 1.0f);
  EXPECT_EQ(point.w, 1.0f);
}

TEST(FramePipeline, FailedColourConversionStopsAfterTheDepthImageAndTheNextFrameWorks)
{
  FramePipeline pipeline(small_config());
  CountingClock clock;
  const Frame frame = small_frame();
  FrameProducts failed;
  KeepingOutput failed_output(failed);
  EXPECT_THROW(
    pipeline.process(
      {view_of(frame.depth_1), view_of(frame.depth_2)}, test::FailingColorConverter(), clock,
      failed_output),
    std::runtime_error);
  EXPECT_EQ(
    failed.published,
    (std::vector<OutputKind>{OutputKind::cam1_cloud, OutputKind::cam2_cloud,
      OutputKind::depth_image}));

  CountingClock fresh_clock;
  const FrameProducts next = run(pipeline, frame, fresh_clock);
  EXPECT_EQ(next.published, kAllOutputs);
  FramePipeline reference(small_config());
  CountingClock reference_clock;
  const FrameProducts expected = run(reference, frame, reference_clock);
  EXPECT_EQ(next.converted_cloud.cloud.data, expected.converted_cloud.cloud.data);
  EXPECT_EQ(next.completed_depth.data, expected.completed_depth.data);
}

TEST(FramePipeline, EmptyDepthImagesStillGiveAllFiveOutputs)
{
  FramePipeline pipeline(small_config());
  Frame frame = small_frame();
  frame.depth_1 = test::make_depth_image(4, 3, std::vector<std::uint16_t>(12, 0));
  frame.depth_2 = test::make_depth_image(0, 0, {});
  CountingClock clock;
  const FrameProducts output = run(pipeline, frame, clock);
  EXPECT_EQ(output.published, kAllOutputs);
  for (const OutputKind cloud : kCloudOutputs) {
    EXPECT_EQ(cloud_of(output, cloud).cloud.width, 0u);
    EXPECT_EQ(cloud_of(output, cloud).cloud.height, 1u);
    EXPECT_TRUE(cloud_of(output, cloud).cloud.data.empty());
  }
  EXPECT_EQ(output.completed_depth.data, std::vector<std::uint8_t>(24, 0));
}

TEST(FramePipeline, UnreadableDepthRejectsTheWholeFrameBeforeAnyOutput)
{
  FramePipeline pipeline(small_config());
  CountingClock clock;
  Frame bad_encoding = small_frame();
  bad_encoding.depth_2.encoding = "8UC1";
  Frame short_data = small_frame();
  short_data.depth_1.data.resize(10);
  for (const Frame & frame : {bad_encoding, short_data}) {
    FrameProducts products;
    KeepingOutput output(products);
    EXPECT_THROW(
      pipeline.process(
        {view_of(frame.depth_1), view_of(frame.depth_2)},
        ImageViewColorConverter(view_of(frame.rgb_1)),
        clock, output),
      FrameError);
    EXPECT_TRUE(products.published.empty());
  }
  EXPECT_EQ(clock.readings, 0);
}

TEST(FramePipeline, ImagesCarryTheFrameIdSetForThemAndCloudsTheArmFrame)
{
  FramePipeline pipeline(small_config());
  CountingClock clock;
  const Frame frame = small_frame();
  EXPECT_EQ(run(pipeline, frame, clock).completed_depth.header.frame_id, "");
  pipeline.set_image_frame_id("camera_1_optical");
  for (int round = 0; round < 2; ++round) {
    const FrameProducts output = run(pipeline, frame, clock);
    EXPECT_EQ(output.completed_depth.header.frame_id, "camera_1_optical");
    EXPECT_EQ(output.color.header.frame_id, "camera_1_optical");
    for (const OutputKind cloud : kCloudOutputs) {
      EXPECT_EQ(cloud_of(output, cloud).header.frame_id, "arm_base");
    }
  }
}

TEST(FramePipeline, CameraTwoMayHaveAnotherSizeAndAnotherEncoding)
{
  FramePipeline pipeline(small_config());
  Frame frame = small_frame();
  ImageMessage metres;
  metres.width = 2;
  metres.height = 1;
  metres.encoding = "32FC1";
  metres.step = 8;
  const float values[2] = {1.0f, 2.0f};
  metres.data.resize(8);
  std::memcpy(metres.data.data(), values, 8);
  frame.depth_2 = metres;
  CountingClock clock;
  const FrameProducts output = run(pipeline, frame, clock);
  EXPECT_EQ(output.cam2_cloud.cloud.width, 2u);
  EXPECT_EQ(test::record_at(output.cam2_cloud.cloud.data, 1).z, 2.0f);
  EXPECT_EQ(output.completed_depth.width, 4u);
}


/// Back-projects every cloud source the pipeline shows, while it is valid.
class SourceCheckingOutput : public KeepingOutput
{
public:
  SourceCheckingOutput(FrameProducts & products, OutputSet wanted)
  : KeepingOutput(products, Keeping::take, wanted), products_(products) {}

  void note_cloud_sources(const CloudSources & sources) override
  {
    ++calls;
    EXPECT_TRUE(products_.published.empty()) << "sources come before the first output";
    rebuild(sources.cam1_cloud, rebuilt_cam1);
    rebuild(sources.cam2_cloud, rebuilt_cam2);
    rebuild(sources.converted_cloud, rebuilt_converted);
  }

  int calls = 0;
  std::optional<pcl::PCLPointCloud2> rebuilt_cam1;
  std::optional<pcl::PCLPointCloud2> rebuilt_cam2;
  std::optional<pcl::PCLPointCloud2> rebuilt_converted;

private:
  static void rebuild(const CloudSource & source, std::optional<pcl::PCLPointCloud2> & out)
  {
    if (source.depth == nullptr) {
      return;
    }
    ArmCloudWriter writer(InstructionSet::scalar);
    out.emplace();
    writer.write(*source.depth, source.intrinsics, source.extrinsic, *out);
  }

  const FrameProducts & products_;
};

TEST(FramePipeline, ShowsTheDepthImageEachWantedCloudIsTheBackProjectionOf)
{
  CameraConfig config = small_config();
  config.extrinsic_1(0, 3) = 0.25f;
  config.extrinsic_2 = make_extrinsic_transform({0.0f, 10.0f, 5.0f}, {0.1f, -0.2f, 0.05f});
  config.intrinsics_2 = {3.0f, 3.5f, 1.0f, 1.25f};
  const Frame frame = small_frame();
  for (const OutputSet wanted :
    {OutputSet::all(), OutputSet::none().with(OutputKind::converted_cloud),
      OutputSet::none().with(OutputKind::cam2_cloud).with(OutputKind::depth_image)})
  {
    FramePipeline pipeline(config);
    FrameProducts products;
    SourceCheckingOutput output(products, wanted);
    CountingClock clock;
    pipeline.process(
      {view_of(frame.depth_1), view_of(frame.depth_2)},
      ImageViewColorConverter(view_of(frame.rgb_1)), clock, output);
    EXPECT_EQ(output.calls, 1);
    const auto expect_rebuilt = [&](
      OutputKind kind, const std::optional<pcl::PCLPointCloud2> & rebuilt) {
        ASSERT_EQ(rebuilt.has_value(), wanted.contains(kind));
        if (rebuilt) {
          EXPECT_EQ(rebuilt->data, cloud_of(products, kind).cloud.data);
          EXPECT_EQ(rebuilt->width, cloud_of(products, kind).cloud.width);
        }
      };
    expect_rebuilt(OutputKind::cam1_cloud, output.rebuilt_cam1);
    expect_rebuilt(OutputKind::cam2_cloud, output.rebuilt_cam2);
    expect_rebuilt(OutputKind::converted_cloud, output.rebuilt_converted);
  }
}

}  // namespace
}  // namespace tavrinox_camera_convertor
