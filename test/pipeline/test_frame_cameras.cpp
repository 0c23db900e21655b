// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// Frames whose cameras come from camera infos and TF: the configuration's numbers give its very
// bytes, a bending lens back-projects and renders through OpenCV's model, and acquisition stamps
// follow the images.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include <opencv2/calib3d.hpp>

#include "tavrinox_camera_convertor/geometry/camera_frames.hpp"
#include "tavrinox_camera_convertor/geometry/camera_info.hpp"
#include "tavrinox_camera_convertor/geometry/extrinsic_transform.hpp"
#include "tavrinox_camera_convertor/pipeline/color_conversion.hpp"
#include "tavrinox_camera_convertor/pipeline/frame_pipeline.hpp"
#include "tavrinox_camera_convertor/pipeline/frame_products.hpp"
#include "test_support.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

struct Frame
{
  ImageMessage depth_1;
  ImageMessage depth_2;
  ImageMessage rgb_1;
};

Frame random_frame(std::uint32_t width, std::uint32_t height, unsigned seed)
{
  std::mt19937 random(seed);
  std::uniform_int_distribution<int> depth(400, 3000);
  std::bernoulli_distribution hole(0.3);
  Frame frame;
  for (ImageMessage * image : {&frame.depth_1, &frame.depth_2}) {
    std::vector<std::uint16_t> mm(std::size_t{width} *height);
    for (auto & value : mm) {
      value = hole(random) ? 0 : static_cast<std::uint16_t>(depth(random));
    }
    *image = test::make_depth_image(width, height, mm);
  }
  frame.rgb_1 = test::make_color_image(
    width, height, "rgb8", std::vector<std::uint8_t>(std::size_t{width} *height * 3, 7));
  return frame;
}

CameraConfig facing_config()
{
  CameraConfig config = test::identity_config();
  config.intrinsics_1 = {300.0f, 301.0f, 80.5f, 60.25f};
  config.intrinsics_2 = {310.0f, 309.0f, 79.0f, 61.0f};
  config.extrinsic_1 = make_extrinsic_transform({-100.0f, 5.0f, 80.0f}, {0.3f, -0.5f, 0.8f});
  config.extrinsic_2 = make_extrinsic_transform({-95.0f, -3.0f, 85.0f}, {0.32f, -0.45f, 0.81f});
  return config;
}

FrameProducts run(
  FramePipeline & pipeline, const Frame & frame, const FrameCameras & cameras,
  OutputStamps & stamps)
{
  FrameProducts products;
  KeepingOutput output(products);
  pipeline.process(
    {view_of(frame.depth_1), view_of(frame.depth_2)}, cameras,
    ImageViewColorConverter(view_of(frame.rgb_1)), stamps, output);
  return products;
}

TEST(FrameCameras, CamerasFromInfoAndTfWithTheConfigurationsNumbersGiveItsBytes)
{
  const CameraConfig config = facing_config();
  const Frame frame = random_frame(160, 120, 7);
  FramePipeline configured(config);
  test::CountingClock clock;
  FrameProducts expected;
  KeepingOutput keep(expected);
  configured.process(
    {view_of(frame.depth_1), view_of(frame.depth_2)}, ImageViewColorConverter(view_of(frame.rgb_1)),
    clock, keep);

  // Zero coefficients in each model a driver may name, and the pose as TF would carry it.
  for (const auto & [model, count] : std::vector<std::pair<const char *, std::size_t>>{
        {"plumb_bob", 5}, {"rational_polynomial", 8}, {"equidistant", 4}, {"", 0}})
  {
    FrameCameras cameras = configured_cameras(config);
    for (CameraModel * camera : {&cameras.model_1, &cameras.model_2}) {
      PinholeCameraInfo info = pinhole_camera_info(camera->intrinsics, 160, 120);
      info.distortion_model = model;
      info.d.assign(count, 0.0);
      *camera = camera_model_from_info(info, 160, 120, "camera");
    }
    FramePipeline from_ros(config);
    test::CountingClock same_clock;
    ClockStamps stamps(same_clock);
    const FrameProducts products = run(from_ros, frame, cameras, stamps);
    EXPECT_TRUE(products.cam1_cloud.cloud.data == expected.cam1_cloud.cloud.data) << model;
    EXPECT_TRUE(products.cam2_cloud.cloud.data == expected.cam2_cloud.cloud.data) << model;
    EXPECT_TRUE(products.completed_depth.data == expected.completed_depth.data) << model;
    EXPECT_TRUE(
      products.converted_cloud.cloud.data ==
      expected.converted_cloud.cloud.data) << model;
    EXPECT_EQ(products.cam2_cloud.header.stamp.sec, expected.cam2_cloud.header.stamp.sec);
  }
}

/// Where `point` (camera 1's frame) lands in camera 1's image through the lens, by OpenCV.
struct Landing
{
  int mm;
  bool exact;  ///< false within a thousandth of a pixel or millimetre of a rounding step
  std::vector<std::pair<int, int>> pixels;  ///< the one pixel, or the candidates when not exact
};

Landing land(const cv::Point3d & point, const cv::Matx33d & k, const std::vector<double> & d)
{
  std::vector<cv::Point2d> pixel;
  cv::projectPoints(std::vector<cv::Point3d>{point}, cv::Vec3d(), cv::Vec3d(), k, d, pixel);
  const auto steady = [](double value) {
      return std::abs(value - std::round(value)) > 1e-3;
    };
  const double mm = point.z * 1000.0;
  Landing landing{static_cast<int>(mm), steady(pixel[0].x) && steady(pixel[0].y) && steady(mm), {}};
  for (const double du : {-1e-3, 1e-3}) {
    for (const double dv : {-1e-3, 1e-3}) {
      landing.pixels.emplace_back(
        static_cast<int>(std::trunc(pixel[0].x + du)),
        static_cast<int>(std::trunc(pixel[0].y + dv)));
    }
  }
  return landing;
}

TEST(FrameCameras, ABendingLensBackProjectsAndRendersThroughOpenCvsModel)
{
  const CameraConfig config = facing_config();
  const Frame frame = random_frame(160, 120, 11);
  const std::vector<double> d = {0.41, -2.2, 0.001, -0.002, 1.3, 0.3, -2.0, 1.2};
  FrameCameras cameras = configured_cameras(config);
  for (CameraModel * model : {&cameras.model_1, &cameras.model_2}) {
    model->distortion =
      distortion_from_camera_info("rational_polynomial", d.data(), d.size(), "camera");
  }
  FramePipeline pipeline(config);
  AcquisitionStamps stamps({1, 10}, {2, 20}, {3, 30});
  const FrameProducts products = run(pipeline, frame, cameras, stamps);

  // Every point is its pixel's undistorted ray (OpenCV's) at its depth, in the arm frame; and,
  // in cloud order, lands in camera 1's holes where OpenCV projects it.
  const CameraModel * models[2] = {&cameras.model_1, &cameras.model_2};
  const ExtrinsicTransform * poses[2] = {&cameras.extrinsic_1, &cameras.extrinsic_2};
  const ImageMessage * depths[2] = {&frame.depth_1, &frame.depth_2};
  const CloudMessage * clouds[2] = {&products.cam1_cloud, &products.cam2_cloud};
  const Eigen::Matrix4d arm_to_camera_1 = cameras.extrinsic_1.cast<double>().inverse();
  const cv::Matx33d k_1(300.0, 0.0, 80.5, 0.0, 301.0, 60.25, 0.0, 0.0, 1.0);
  std::vector<int> expected(160 * 120, -1);  // -1: a hole nothing fills; -2: uncertain
  for (std::uint32_t i = 0; i < 120 * 160; ++i) {
    expected[i] = test::depth_at(frame.depth_1, i / 160, i % 160);
  }
  const std::vector<int> measured = expected;
  for (int camera = 0; camera < 2; ++camera) {
    const CameraIntrinsics & in = models[camera]->intrinsics;
    const cv::Matx33d k(in.fx, 0.0, in.cx, 0.0, in.fy, in.cy, 0.0, 0.0, 1.0);
    std::vector<cv::Point2d> pixels;
    for (std::uint32_t v = 0; v < 120; ++v) {
      for (std::uint32_t u = 0; u < 160; ++u) {
        pixels.emplace_back(u, v);
      }
    }
    std::vector<cv::Point2d> rays;
    cv::undistortPoints(
      pixels, rays, k, d, cv::noArray(), cv::noArray(),
      cv::TermCriteria(cv::TermCriteria::COUNT + cv::TermCriteria::EPS, 100, 1e-9));
    std::size_t index = 0;
    for (std::size_t p = 0; p < pixels.size(); ++p) {
      const std::uint16_t mm = test::depth_at(*depths[camera], p / 160, p % 160);
      if (mm == 0) {
        continue;
      }
      const double z = mm / 1000.0;
      const Eigen::Vector4d arm =
        poses[camera]->cast<double>() * Eigen::Vector4d(rays[p].x * z, rays[p].y * z, z, 1.0);
      const test::Record got = test::record_at(clouds[camera]->cloud.data, index++);
      ASSERT_NEAR(got.x, arm.x(), 2e-5);
      ASSERT_NEAR(got.y, arm.y(), 2e-5);
      ASSERT_NEAR(got.z, arm.z(), 2e-5);
      const Eigen::Vector4d seen = arm_to_camera_1 * arm;
      if (seen.z() <= 0.0) {
        continue;
      }
      const Landing at = land({seen.x(), seen.y(), seen.z()}, k_1, d);
      for (const auto & [u, v] : at.pixels) {
        if (u >= 0 && v >= 0 && u < 160 && v < 120 && measured[v * 160 + u] == 0) {
          expected[v * 160 + u] = at.exact ? at.mm : -2;
        }
      }
    }
  }
  std::size_t compared = 0;
  for (std::uint32_t i = 0; i < 160 * 120; ++i) {
    if (expected[i] == -2 || measured[i] != 0) {
      continue;
    }
    const int got = test::depth_at(products.completed_depth, i / 160, i % 160);
    EXPECT_EQ(got, expected[i] == -1 ? 0 : expected[i]) << "pixel " << i % 160 << ", " << i / 160;
    compared += expected[i] > 0;
  }
  EXPECT_GT(compared, 1000u);
  // Each output carries the stamp of the image it was made from.
  EXPECT_EQ(products.cam1_cloud.header.stamp.nanosec, 10u);
  EXPECT_EQ(products.cam2_cloud.header.stamp.nanosec, 20u);
  EXPECT_EQ(products.completed_depth.header.stamp.nanosec, 10u);
  EXPECT_EQ(products.color.header.stamp.nanosec, 30u);
  EXPECT_EQ(products.converted_cloud.header.stamp.nanosec, 10u);
}

TEST(FrameCameras, EveryInstructionSetBendsTheRaysAlike)
{
  const CameraConfig config = facing_config();
  // 157 columns leave every vector loop a tail.
  const Frame frame = random_frame(157, 90, 13);
  const std::vector<double> d = {-0.02, 0.05, -0.04, 0.011};
  FrameCameras cameras = configured_cameras(config);
  cameras.model_1.distortion =
    distortion_from_camera_info("equidistant", d.data(), d.size(), "camera 1");
  const auto run_with = [&](InstructionSet set) {
      FramePipeline pipeline(config, set);
      AcquisitionStamps stamps({}, {}, {});
      return run(pipeline, frame, cameras, stamps);
    };
  const FrameProducts scalar = run_with(InstructionSet::scalar);
  for (const InstructionSet set : {InstructionSet::sse2, InstructionSet::avx2}) {
    if (!is_supported(set)) {
      continue;
    }
    const FrameProducts vector = run_with(set);
    EXPECT_TRUE(vector.cam1_cloud.cloud.data == scalar.cam1_cloud.cloud.data) << to_string(set);
    EXPECT_TRUE(vector.completed_depth.data == scalar.completed_depth.data) << to_string(set);
    EXPECT_TRUE(vector.converted_cloud.cloud.data == scalar.converted_cloud.cloud.data);
  }
}

}  // namespace
}  // namespace tavrinox_camera_convertor
