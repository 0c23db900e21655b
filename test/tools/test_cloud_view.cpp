// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

#include <opencv2/imgproc.hpp>

#include "cloud_view.hpp"
#include "run_summary.hpp"
#include "tavrinox_camera_convertor/geometry/cloud_encoding.hpp"
#include "view_window.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

const cv::Size kPanel(480, 360);
const std::array<Eigen::Vector3f, 2> kCameras = {
  Eigen::Vector3f(0.2f, -0.6f, 0.8f), Eigen::Vector3f(0.2f, 0.6f, 0.8f)};
const ViewAxes kTopView{0, 1, "x", "y"};
const ViewAxes kSideView{0, 2, "x", "z"};
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInfinity = std::numeric_limits<float>::infinity();

/// A flat square of points on the table, 0.4 m a side, 2.5 mm apart (closer than a view pixel),
/// shifted by `offset`.
pcl::PointCloud<pcl::PointXYZ> table_square(const Eigen::Vector3f & offset)
{
  pcl::PointCloud<pcl::PointXYZ> points;
  for (int i = 0; i <= 160; ++i) {
    for (int j = 0; j <= 160; ++j) {
      points.push_back(
        pcl::PointXYZ(
          0.4f + 0.0025f * i + offset.x(),
          -0.2f + 0.0025f * j + offset.y(), offset.z()));
    }
  }
  return points;
}

pcl::PCLPointCloud2 encoded(const pcl::PointCloud<pcl::PointXYZ> & points)
{
  pcl::PCLPointCloud2 cloud;
  encode_cloud(points, cloud);
  return cloud;
}

pcl::PCLPointCloud2 encoded_square(const Eigen::Vector3f & offset)
{
  return encoded(table_square(offset));
}

/// The square with `count` copies of each of `strays` appended.
pcl::PCLPointCloud2 square_with(const std::vector<pcl::PointXYZ> & strays, int count)
{
  pcl::PointCloud<pcl::PointXYZ> points = table_square(Eigen::Vector3f::Zero());
  for (const pcl::PointXYZ & stray : strays) {
    for (int i = 0; i < count; ++i) {
      points.push_back(stray);
    }
  }
  return encoded(points);
}

struct ColourCounts
{
  int camera_1_only = 0;  ///< orange: red, no blue
  int camera_2_only = 0;  ///< azure: blue, no red
  int both = 0;           ///< bright in red and blue alike
};

ColourCounts count_colours(const cv::Mat & view)
{
  ColourCounts counts;
  for (int row = 0; row < view.rows; ++row) {
    for (int column = 0; column < view.cols; ++column) {
      const cv::Vec3b pixel = view.at<cv::Vec3b>(row, column);
      const int blue = pixel[0];
      const int red = pixel[2];
      counts.camera_1_only += red > 120 && blue == 0 ? 1 : 0;
      counts.camera_2_only += blue > 120 && red == 0 ? 1 : 0;
      counts.both += red > 120 && blue > 120 ? 1 : 0;
    }
  }
  return counts;
}

ColourCounts view_colours(
  const pcl::PCLPointCloud2 & camera_1, const pcl::PCLPointCloud2 & camera_2,
  const ViewAxes & axes = kTopView)
{
  return count_colours(draw_cloud_view(camera_1, camera_2, kCameras, axes, kPanel).image);
}

void expect_same_window(const ViewWindow & a, const ViewWindow & b, double tolerance)
{
  EXPECT_NEAR(a.low_h, b.low_h, tolerance);
  EXPECT_NEAR(a.low_v, b.low_v, tolerance);
  EXPECT_NEAR(a.span_h, b.span_h, tolerance);
  EXPECT_NEAR(a.span_v, b.span_v, tolerance);
}

/// The smallest rectangle holding every pixel where `a` and `b` differ; empty when none.
cv::Rect differing_pixels(const cv::Mat & a, const cv::Mat & b)
{
  cv::Mat difference;
  cv::absdiff(a, b, difference);
  cv::Mat grey;
  cv::cvtColor(difference, grey, cv::COLOR_BGR2GRAY);
  return cv::boundingRect(grey > 0);
}

TEST(CloudView, AlignedCloudsShowAsOneWhiteSurface)
{
  const pcl::PCLPointCloud2 cloud = encoded_square(Eigen::Vector3f::Zero());
  const CloudView view = draw_cloud_view(cloud, cloud, kCameras, kTopView, kPanel);
  ASSERT_EQ(view.image.size(), kPanel);
  ASSERT_EQ(view.image.type(), CV_8UC3);
  const ColourCounts counts = count_colours(view.image);
  // The square covers thousands of view pixels; the legend and camera labels only a few hundred.
  EXPECT_GT(counts.both, 5000);
  EXPECT_LT(counts.camera_1_only, 600);
  EXPECT_LT(counts.camera_2_only, 600);
  EXPECT_FALSE(view.coverage.anything_outside());
  EXPECT_EQ(view.coverage.points[0], cloud.width);
}

TEST(CloudView, MisalignedCloudsShowAsTwoColouredCopies)
{
  const pcl::PCLPointCloud2 camera_1 = encoded_square(Eigen::Vector3f::Zero());
  const pcl::PCLPointCloud2 camera_2 = encoded_square(Eigen::Vector3f(0.15f, 0.0f, 0.0f));
  const ColourCounts aligned = view_colours(camera_1, camera_1);
  const ColourCounts shifted = view_colours(camera_1, camera_2);
  EXPECT_GT(shifted.camera_1_only, aligned.camera_1_only + 2000);
  EXPECT_GT(shifted.camera_2_only, aligned.camera_2_only + 2000);
  EXPECT_LT(shifted.both, aligned.both);
}

TEST(CloudView, SideViewSeparatesCloudsAtDifferentHeights)
{
  const pcl::PCLPointCloud2 camera_1 = encoded_square(Eigen::Vector3f::Zero());
  const pcl::PCLPointCloud2 camera_2 = encoded_square(Eigen::Vector3f(0.0f, 0.0f, 0.1f));
  // From above the two squares coincide; from the side they are two lines apart (each about
  // 130 view pixels long), where aligned clouds draw one line.
  EXPECT_GT(view_colours(camera_1, camera_2).both, 5000);
  const ColourCounts aligned = view_colours(camera_1, camera_1, kSideView);
  const ColourCounts apart = view_colours(camera_1, camera_2, kSideView);
  EXPECT_GT(apart.camera_1_only, aligned.camera_1_only + 100);
  EXPECT_GT(apart.camera_2_only, aligned.camera_2_only + 100);
  EXPECT_LT(apart.both + 100, aligned.both);
}

TEST(CloudView, EmptyCloudsGiveAnEmptyGridAndTheCameras)
{
  const pcl::PCLPointCloud2 empty;
  const CloudView view = draw_cloud_view(empty, empty, kCameras, kTopView, kPanel);
  EXPECT_EQ(view.image.size(), kPanel);
  EXPECT_GT(cv::countNonZero(view.image.reshape(1)), 0);
  EXPECT_TRUE(view.coverage.camera_inside[0] && view.coverage.camera_inside[1]);
}

TEST(CloudView, APanelTooSmallForTheMarginsIsRefused)
{
  const pcl::PCLPointCloud2 cloud = encoded_square(Eigen::Vector3f::Zero());
  EXPECT_THROW(
    draw_cloud_view(
      cloud, cloud, kCameras, kTopView,
      cv::Size(kLeastCloudViewWidth - 1, 300)), std::invalid_argument);
  EXPECT_THROW(
    draw_cloud_view(
      cloud, cloud, kCameras, kTopView,
      cv::Size(300, kLeastCloudViewHeight - 1)), std::invalid_argument);
  const cv::Size least(kLeastCloudViewWidth, kLeastCloudViewHeight);
  EXPECT_EQ(draw_cloud_view(cloud, cloud, kCameras, kTopView, least).image.size(), least);
}

TEST(CloudView, AHeaderThatPromisesMoreThanItsDataGivesNoPoints)
{
  pcl::PCLPointCloud2 lying = encoded_square(Eigen::Vector3f::Zero());
  lying.width += 1;
  const CloudView view = draw_cloud_view(lying, lying, kCameras, kTopView, kPanel);
  EXPECT_EQ(view.coverage.total_points(), 0u);
  // Labels and markers only; the square itself covers over 5000 pixels.
  EXPECT_LT(view_colours(lying, lying).both, 1000);
}

// ---------------------------------------------------------------- framing

TEST(ViewFraming, NonFiniteAndEnormousPointsChangeNothingButTheLegend)
{
  const pcl::PCLPointCloud2 clean = encoded_square(Eigen::Vector3f::Zero());
  // Each unusable along both axes of either view: x, or y and z.
  const std::vector<pcl::PointXYZ> strays = {
    {kNaN, 0.5f, 0.0f}, {-kInfinity, 0.0f, 0.0f}, {1e30f, 0.0f, 0.0f},
    {0.5f, kInfinity, 3e38f}, {0.5f, -1e7f, kNaN}};
  // As many strays as a third of the square: no percentile would hide them.
  const int copies = 1500;
  const pcl::PCLPointCloud2 spoilt = square_with(strays, copies);
  for (const ViewAxes & axes : {kTopView, kSideView}) {
    const ViewWindow expected = frame_view(clean, clean, kCameras, axes);
    expect_same_window(frame_view(spoilt, clean, kCameras, axes), expected, 0.0);
    expect_same_window(frame_view(clean, spoilt, kCameras, axes), expected, 0.0);

    const CloudView clean_view = draw_cloud_view(clean, clean, kCameras, axes, kPanel);
    const CloudView spoilt_view = draw_cloud_view(spoilt, clean, kCameras, axes, kPanel);
    EXPECT_EQ(spoilt_view.coverage.points[0], clean.width + strays.size() * copies);
    EXPECT_EQ(spoilt_view.coverage.outside[1], 0u);
    EXPECT_EQ(spoilt_view.coverage.outside[0], strays.size() * copies);
    // Only the legend, in the plot's top left corner, tells the two pictures apart.
    const cv::Rect changed = differing_pixels(clean_view.image, spoilt_view.image);
    EXPECT_FALSE(changed.empty());
    EXPECT_LT(changed.x + changed.width, kPanel.width / 2) << changed;
    EXPECT_LT(changed.y + changed.height, kPanel.height / 3) << changed;
  }
}

TEST(ViewFraming, AFewFarPointsDoNotShrinkTheScene)
{
  const pcl::PCLPointCloud2 clean = encoded_square(Eigen::Vector3f::Zero());
  // Under 1 % of the points, 500 m away: beyond the framing percentiles.
  const pcl::PCLPointCloud2 far = square_with({{500.0f, 500.0f, 500.0f}}, 200);
  for (const ViewAxes & axes : {kTopView, kSideView}) {
    // The percentiles move by a few of the square's 2.5 mm rows at most.
    expect_same_window(
      frame_view(far, far, kCameras, axes),
      frame_view(clean, clean, kCameras, axes), 0.01);
    const CloudView view = draw_cloud_view(far, far, kCameras, axes, kPanel);
    EXPECT_EQ(view.coverage.outside[0], 200u);
    EXPECT_EQ(view.coverage.outside[1], 200u);
  }
  EXPECT_GT(view_colours(far, far).both, 5000) << "the square keeps its size";
}

TEST(ViewFraming, ACameraFarAwayIsMarkedAtTheEdgeAndLeavesTheWindowAlone)
{
  const pcl::PCLPointCloud2 cloud = encoded_square(Eigen::Vector3f::Zero());
  for (const float far : {1e10f, -40.0f, kInfinity, kNaN}) {
    const std::array<Eigen::Vector3f, 2> cameras = {
      kCameras[0], Eigen::Vector3f(0.2f, 0.6f, far)};
    const std::array<Eigen::Vector3f, 2> camera_1_twice = {kCameras[0], kCameras[0]};
    expect_same_window(
      frame_view(cloud, cloud, cameras, kSideView),
      frame_view(cloud, cloud, camera_1_twice, kSideView), 0.0);
    const CloudView side = draw_cloud_view(cloud, cloud, cameras, kSideView, kPanel);
    EXPECT_TRUE(side.coverage.camera_inside[0]);
    EXPECT_FALSE(side.coverage.camera_inside[1]) << far;
    EXPECT_TRUE(side.coverage.anything_outside());
    // Seen from above it is where it belongs.
    EXPECT_TRUE(draw_cloud_view(cloud, cloud, cameras, kTopView, kPanel).coverage.camera_inside[1]);
  }
}

TEST(ViewFraming, TheSummaryNamesWhatTheViewsLeftOut)
{
  PreviewCoverage views;
  views.top_view.points = {1000, 3000};
  views.side_view.points = {1000, 3000};
  views.top_view.camera_inside = {true, true};
  views.side_view.camera_inside = {true, true};
  EXPECT_EQ(outside_views_line(views), "");

  views.side_view.outside = {0, 3000};
  views.side_view.camera_inside[1] = false;
  EXPECT_EQ(
    outside_views_line(views),
    "left out of the cloud views (framed on the 1st to 99th percentile of each cloud): "
    "side view 3000 of 4000 points (75.00 %: camera 1 0, camera 2 3000); "
    "camera 2's position (side view)");
}

}  // namespace
}  // namespace tavrinox_camera_convertor
