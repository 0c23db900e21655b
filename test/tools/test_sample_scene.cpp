// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <sstream>
#include <stdexcept>

#include "completion_statistics.hpp"
#include "frame_processing.hpp"
#include "image_mat.hpp"
#include "sample_scene.hpp"
#include "tavrinox_camera_convertor/geometry/camera_config.hpp"
#include "test_support.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

CameraConfig default_config()
{
  std::ostringstream matrices;
  return load_camera_config(TAVRINOX_DEFAULT_CONFIG_PATH, matrices);
}

struct Pixel
{
  std::uint32_t row;
  std::uint32_t column;
};

/// The pixel nearest to where a pinhole camera sees `arm_point`, from the intrinsics alone.
Pixel project(
  const Eigen::Vector3d & arm_point, const ExtrinsicTransform & extrinsic,
  const CameraIntrinsics & k)
{
  const Eigen::Matrix4d camera_to_arm = extrinsic.cast<double>();
  const Eigen::Vector3d p =
    camera_to_arm.topLeftCorner<3, 3>().transpose() * (arm_point - camera_to_arm.topRightCorner<3,
    1>());
  return {static_cast<std::uint32_t>(std::lround(k.fy * p.y() / p.z() + k.cy)),
    static_cast<std::uint32_t>(std::lround(k.fx * p.x() / p.z() + k.cx))};
}

/// Camera-frame depth (mm) at which the ray of `pixel` meets the horizontal plane at `plane_z`.
double plane_depth_mm(
  Pixel pixel, double plane_z, const ExtrinsicTransform & extrinsic, const CameraIntrinsics & k)
{
  const Eigen::Matrix4d camera_to_arm = extrinsic.cast<double>();
  const Eigen::Vector3d ray((pixel.column - static_cast<double>(k.cx)) / k.fx,
    (pixel.row - static_cast<double>(k.cy)) / k.fy, 1.0);
  const Eigen::Vector3d direction = camera_to_arm.topLeftCorner<3, 3>() * ray;
  return 1000.0 * (plane_z - camera_to_arm(2, 3)) / direction.z();
}

/// The arm-frame point a depth pixel stands for, as the pipeline back-projects it.
Eigen::Vector3d back_project(
  const ImageMessage & depth, Pixel pixel, const ExtrinsicTransform & extrinsic,
  const CameraIntrinsics & k)
{
  const double z = test::depth_at(depth, pixel.row, pixel.column) / 1000.0;
  const Eigen::Vector4d in_camera((pixel.column - static_cast<double>(k.cx)) * z / k.fx,
    (pixel.row - static_cast<double>(k.cy)) * z / k.fy, z, 1.0);
  return (extrinsic.cast<double>() * in_camera).head<3>();
}

cv::Vec3b colour_at(const ImageMessage & image, Pixel pixel)
{
  return mat_view_of(image).at<cv::Vec3b>(
    static_cast<int>(pixel.row),
    static_cast<int>(pixel.column));
}

TEST(SampleScene, RendersFiveImagesOfTheRequestedSize)
{
  const SampleScene scene = render_sample_scene(default_config(), 96, 72);
  for (const ImageMessage * depth : {&scene.depth_1, &scene.depth_2, &scene.truth_1}) {
    EXPECT_EQ(depth->encoding, "16UC1");
    EXPECT_EQ(depth->width, 96u);
    EXPECT_EQ(depth->height, 72u);
    EXPECT_EQ(depth->step, 192u);
    EXPECT_EQ(depth->data.size(), 192u * 72u);
  }
  for (const ImageMessage * colour : {&scene.rgb_1, &scene.rgb_2}) {
    EXPECT_EQ(colour->encoding, "bgr8");
    EXPECT_EQ(colour->width, 96u);
    EXPECT_EQ(colour->height, 72u);
    EXPECT_EQ(colour->step, 288u);
    EXPECT_EQ(colour->data.size(), 288u * 72u);
  }
}

TEST(SampleScene, RejectsAnEmptyOrOversizedImage)
{
  const CameraConfig config = default_config();
  EXPECT_THROW(render_sample_scene(config, 0, 480), std::invalid_argument);
  EXPECT_THROW(render_sample_scene(config, 640, 0), std::invalid_argument);
  EXPECT_THROW(render_sample_scene(config, 8193, 480), std::invalid_argument);
}

TEST(SampleScene, ATablePointLandsWhereTheIntrinsicsSayAndBothCamerasAgreeOnIt)
{
  const CameraConfig config = default_config();
  const SampleScene scene = render_sample_scene(config);
  // On the table top, clear of the objects and of the glare patch, seen by both cameras.
  const Eigen::Vector3d table_point(0.45, 0.06, 0.0);

  const Pixel pixel_1 = project(table_point, config.extrinsic_1, config.intrinsics_1);
  const Pixel pixel_2 = project(table_point, config.extrinsic_2, config.intrinsics_2);
  // Rounding to whole millimetres is the only difference from the exact plane depth.
  EXPECT_LE(
    std::abs(
      test::depth_at(scene.depth_1, pixel_1.row, pixel_1.column) -
      plane_depth_mm(pixel_1, 0.0, config.extrinsic_1, config.intrinsics_1)), 0.5);
  EXPECT_LE(
    std::abs(
      test::depth_at(scene.depth_2, pixel_2.row, pixel_2.column) -
      plane_depth_mm(pixel_2, 0.0, config.extrinsic_2, config.intrinsics_2)), 0.5);
  EXPECT_EQ(
    test::depth_at(scene.truth_1, pixel_1.row, pixel_1.column),
    test::depth_at(scene.depth_1, pixel_1.row, pixel_1.column));

  // Back in the arm frame both land within a pixel's footprint (about 2 mm here) of the point.
  const Eigen::Vector3d seen_by_1 = back_project(
    scene.depth_1, pixel_1, config.extrinsic_1,
    config.intrinsics_1);
  const Eigen::Vector3d seen_by_2 = back_project(
    scene.depth_2, pixel_2, config.extrinsic_2,
    config.intrinsics_2);
  EXPECT_LT((seen_by_1 - table_point).norm(), 0.004) << seen_by_1.transpose();
  EXPECT_LT((seen_by_2 - table_point).norm(), 0.004) << seen_by_2.transpose();
  EXPECT_LT((seen_by_1 - seen_by_2).norm(), 0.006);
}

TEST(SampleScene, TheDarkBoxHasColourButNoDepthInCamera1AndFullDepthInCamera2)
{
  const CameraConfig config = default_config();
  const SampleScene scene = render_sample_scene(config);
  const double top_z = 0.06;
  const Eigen::Vector3d top_centre(0.78, -0.16, top_z);

  const Pixel pixel_1 = project(top_centre, config.extrinsic_1, config.intrinsics_1);
  EXPECT_EQ(test::depth_at(scene.depth_1, pixel_1.row, pixel_1.column), 0);
  EXPECT_LE(
    std::abs(
      test::depth_at(scene.truth_1, pixel_1.row, pixel_1.column) -
      plane_depth_mm(pixel_1, top_z, config.extrinsic_1, config.intrinsics_1)), 0.5);
  const cv::Vec3b colour = colour_at(scene.rgb_1, pixel_1);
  EXPECT_GT(colour[0] + colour[1] + colour[2], 0);
  EXPECT_LT(colour[0] + colour[1] + colour[2], 90) << "the box should look dark";

  const Pixel pixel_2 = project(top_centre, config.extrinsic_2, config.intrinsics_2);
  EXPECT_LE(
    std::abs(
      test::depth_at(scene.depth_2, pixel_2.row, pixel_2.column) -
      plane_depth_mm(pixel_2, top_z, config.extrinsic_2, config.intrinsics_2)), 0.5);
}

TEST(SampleScene, GlareOnTheTableHidesDepthFromCamera1Only)
{
  const CameraConfig config = default_config();
  const SampleScene scene = render_sample_scene(config);
  const Eigen::Vector3d glare_centre(0.34, 0.05, 0.0);

  const Pixel pixel_1 = project(glare_centre, config.extrinsic_1, config.intrinsics_1);
  EXPECT_EQ(test::depth_at(scene.depth_1, pixel_1.row, pixel_1.column), 0);
  EXPECT_LE(
    std::abs(
      test::depth_at(scene.truth_1, pixel_1.row, pixel_1.column) -
      plane_depth_mm(pixel_1, 0.0, config.extrinsic_1, config.intrinsics_1)), 0.5);
  const cv::Vec3b colour = colour_at(scene.rgb_1, pixel_1);
  EXPECT_GT(std::min({colour[0], colour[1], colour[2]}), 180) << "glare looks bright";

  const Pixel pixel_2 = project(glare_centre, config.extrinsic_2, config.intrinsics_2);
  EXPECT_GT(test::depth_at(scene.depth_2, pixel_2.row, pixel_2.column), 0);
}

TEST(SampleScene, Camera1LosesABandAlongADepthEdge)
{
  const CameraConfig config = default_config();
  const SampleScene scene = render_sample_scene(config);
  // Along camera 1's row through the sphere's centre, rightwards to the sphere's outline.
  const Pixel centre = project(
    Eigen::Vector3d(
      0.62, -0.02,
      0.055), config.extrinsic_1, config.intrinsics_1);
  ASSERT_GT(test::depth_at(scene.depth_1, centre.row, centre.column), 0);
  std::uint32_t column = centre.column;
  while (column + 1 < scene.truth_1.width &&
    std::abs(
      test::depth_at(scene.truth_1, centre.row, column + 1) -
      test::depth_at(scene.truth_1, centre.row, column)) < 50)
  {
    ++column;
  }
  ASSERT_LT(column + 4, scene.truth_1.width) << "no outline found";
  // Both pixels at the step are lost; the table a few pixels beyond is measured again.
  EXPECT_EQ(test::depth_at(scene.depth_1, centre.row, column), 0);
  EXPECT_EQ(test::depth_at(scene.depth_1, centre.row, column + 1), 0);
  EXPECT_EQ(
    test::depth_at(scene.depth_1, centre.row, column + 4),
    test::depth_at(scene.truth_1, centre.row, column + 4));
  EXPECT_GT(test::depth_at(scene.depth_1, centre.row, column + 4), 0);
}

TEST(SampleScene, Camera1GapsOnlyRemoveDepthAndCamera2SeesEverySurface)
{
  const SampleScene scene = render_sample_scene(default_config());
  const cv::Mat1w measured = mat_view_of(scene.depth_1);
  const cv::Mat1w truth = mat_view_of(scene.truth_1);
  const cv::Mat1w depth_2 = mat_view_of(scene.depth_2);
  const cv::Mat3b rgb_1 = mat_view_of(scene.rgb_1);
  const cv::Mat3b rgb_2 = mat_view_of(scene.rgb_2);
  int gaps = 0;
  int beyond_range = 0;
  for (int row = 0; row < measured.rows; ++row) {
    for (int column = 0; column < measured.cols; ++column) {
      const std::uint16_t value = measured(row, column);
      ASSERT_TRUE(value == 0 || value == truth(row, column)) << row << ", " << column;
      ASSERT_LE(value, kSampleCamera1MaxRangeMm);
      gaps += value == 0 && truth(row, column) != 0 ? 1 : 0;
      beyond_range += truth(row, column) > kSampleCamera1MaxRangeMm ? 1 : 0;
      // Only where a ray meets nothing is the image black and the depth missing.
      const bool black_1 = rgb_1(row, column) == cv::Vec3b(0, 0, 0);
      const bool black_2 = rgb_2(row, column) == cv::Vec3b(0, 0, 0);
      ASSERT_EQ(black_1, truth(row, column) == 0) << row << ", " << column;
      ASSERT_EQ(black_2, depth_2(row, column) == 0) << row << ", " << column;
    }
  }
  EXPECT_GT(gaps, 2000) << "the dark box, the glare and the edges leave gaps to fill";
  EXPECT_GT(beyond_range, 0) << "some of the floor lies beyond camera 1's range";
}

TEST(SampleScene, ASmallerImageIsTheTopLeftOfTheSameView)
{
  const CameraConfig config = default_config();
  const SampleScene full = render_sample_scene(config);
  const SampleScene part = render_sample_scene(config, 200, 150);
  const cv::Rect top_left(0, 0, 200, 150);
  for (const auto & [whole, crop] : {std::make_pair(&full.truth_1, &part.truth_1),
      std::make_pair(&full.depth_2, &part.depth_2), std::make_pair(&full.rgb_1, &part.rgb_1),
      std::make_pair(&full.rgb_2, &part.rgb_2)})
  {
    const cv::Mat expected = mat_view_of (* whole)(top_left);
    EXPECT_EQ(cv::norm(expected, mat_view_of(*crop), cv::NORM_INF), 0.0);
  }
}

TEST(SampleScene, TheSameArgumentsGiveTheSameImages)
{
  const SampleScene first = render_sample_scene(default_config(), 96, 72);
  const SampleScene second = render_sample_scene(default_config(), 96, 72);
  EXPECT_EQ(first.depth_1.data, second.depth_1.data);
  EXPECT_EQ(first.depth_2.data, second.depth_2.data);
  EXPECT_EQ(first.truth_1.data, second.truth_1.data);
  EXPECT_EQ(first.rgb_1.data, second.rgb_1.data);
  EXPECT_EQ(first.rgb_2.data, second.rgb_2.data);
}

CompletionStatistics complete_sample(
  const CameraConfig & scene_config,
  const CameraConfig & pipeline_config)
{
  SampleScene scene = render_sample_scene(scene_config);
  FrameInputs inputs;
  inputs.depth_1 = std::move(scene.depth_1);
  inputs.depth_2 = std::move(scene.depth_2);
  inputs.rgb_1 = std::move(scene.rgb_1);
  FramePipeline pipeline(pipeline_config);
  test::CountingClock clock;
  const FrameProducts products = process_frame(pipeline, inputs, clock);
  return measure_completion(
    mat_view_of(inputs.depth_1), mat_view_of(products.completed_depth), mat_view_of(scene.truth_1));
}

// Measured on the 640 x 480 sample: fill rate 58.4 %, median error 2 mm, 90th percentile 81 mm.
// The median is set by the flat surfaces (glare patch, table along edges), off by the pipeline's
// truncation of projected pixel coordinates: half a pixel on a slanted table, 1-2 mm. A bound of
// 4 mm leaves room for that, yet a camera placed a centimetre too high exceeds it (next test).
// The 90th percentile comes from pixels where camera 2's view of the table behind the dark box or
// an object's outline lands on the object's own points and overwrites them (projection keeps the
// last point, not the nearest); 120 mm is that plus half again. The fill rate is held down by the
// floor beyond camera 1's range, which camera 2 does not see, and by camera 2's points falling
// sparser than camera 1's pixels on the dark box; 50 % leaves room, while losing camera 2's share
// of the completion would bring it near zero.
constexpr double kMinimumFillRatePercent = 50.0;
constexpr std::uint16_t kLargestMedianErrorMm = 4;
constexpr std::uint16_t kLargestP90ErrorMm = 120;

TEST(SampleScene, CompletionErrorStaysWithinTheMeasuredBounds)
{
  const CameraConfig config = default_config();
  const CompletionStatistics statistics = complete_sample(config, config);
  ASSERT_TRUE(statistics.truth.has_value());
  EXPECT_GE(statistics.truth->fill_rate_percent(), kMinimumFillRatePercent);
  EXPECT_LE(statistics.truth->median_error_mm, kLargestMedianErrorMm);
  EXPECT_LE(statistics.truth->p90_error_mm, kLargestP90ErrorMm);
}

TEST(SampleScene, TheErrorBoundsCatchACameraPlacedACentimetreTooHigh)
{
  const CameraConfig config = default_config();
  CameraConfig miscalibrated = config;
  miscalibrated.extrinsic_2(2, 3) += 0.01f;
  const CompletionStatistics statistics = complete_sample(config, miscalibrated);
  ASSERT_TRUE(statistics.truth.has_value());
  EXPECT_GT(statistics.truth->median_error_mm, kLargestMedianErrorMm);
}

}  // namespace
}  // namespace tavrinox_camera_convertor
