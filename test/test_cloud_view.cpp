// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include <gtest/gtest.h>

#include <array>

#include "cloud_view.hpp"
#include "tavrinox_camera_convertor/cloud_encoding.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

const cv::Size kPanel(480, 360);
const std::array<Eigen::Vector3f, 2> kCameras = {Eigen::Vector3f(0.2f, -0.6f, 0.8f), Eigen::Vector3f(0.2f, 0.6f, 0.8f)};
const ViewAxes kTopView{0, 1, "x", "y"};

/// A flat square of points on the table, 0.4 m a side, 2.5 mm apart (closer than a view pixel),
/// shifted by `offset`.
pcl::PCLPointCloud2 table_square(const Eigen::Vector3f & offset)
{
  pcl::PointCloud<pcl::PointXYZ> points;
  for (int i = 0; i <= 160; ++i) {
    for (int j = 0; j <= 160; ++j) {
      points.push_back(
        pcl::PointXYZ(0.4f + 0.0025f * i + offset.x(), -0.2f + 0.0025f * j + offset.y(), offset.z()));
    }
  }
  pcl::PCLPointCloud2 encoded;
  encode_cloud(points, encoded);
  return encoded;
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

TEST(CloudView, AlignedCloudsShowAsOneWhiteSurface)
{
  const pcl::PCLPointCloud2 cloud = table_square(Eigen::Vector3f::Zero());
  const cv::Mat view = draw_cloud_view(cloud, cloud, kCameras, kTopView, kPanel);
  ASSERT_EQ(view.size(), kPanel);
  ASSERT_EQ(view.type(), CV_8UC3);
  const ColourCounts counts = count_colours(view);
  // The square covers thousands of view pixels; the legend and camera labels only a few hundred.
  EXPECT_GT(counts.both, 5000);
  EXPECT_LT(counts.camera_1_only, 600);
  EXPECT_LT(counts.camera_2_only, 600);
}

TEST(CloudView, MisalignedCloudsShowAsTwoColouredCopies)
{
  const pcl::PCLPointCloud2 camera_1 = table_square(Eigen::Vector3f::Zero());
  const pcl::PCLPointCloud2 camera_2 = table_square(Eigen::Vector3f(0.15f, 0.0f, 0.0f));
  const ColourCounts aligned = count_colours(draw_cloud_view(camera_1, camera_1, kCameras, kTopView, kPanel));
  const ColourCounts shifted = count_colours(draw_cloud_view(camera_1, camera_2, kCameras, kTopView, kPanel));
  EXPECT_GT(shifted.camera_1_only, aligned.camera_1_only + 2000);
  EXPECT_GT(shifted.camera_2_only, aligned.camera_2_only + 2000);
  EXPECT_LT(shifted.both, aligned.both);
}

TEST(CloudView, SideViewSeparatesCloudsAtDifferentHeights)
{
  const pcl::PCLPointCloud2 camera_1 = table_square(Eigen::Vector3f::Zero());
  const pcl::PCLPointCloud2 camera_2 = table_square(Eigen::Vector3f(0.0f, 0.0f, 0.1f));
  const ViewAxes side{0, 2, "x", "z"};
  // From above the two squares coincide; from the side they are two lines apart (each about
  // 130 view pixels long), where aligned clouds draw one line.
  const ColourCounts top = count_colours(draw_cloud_view(camera_1, camera_2, kCameras, kTopView, kPanel));
  EXPECT_GT(top.both, 5000);
  const ColourCounts aligned = count_colours(draw_cloud_view(camera_1, camera_1, kCameras, side, kPanel));
  const ColourCounts apart = count_colours(draw_cloud_view(camera_1, camera_2, kCameras, side, kPanel));
  EXPECT_GT(apart.camera_1_only, aligned.camera_1_only + 100);
  EXPECT_GT(apart.camera_2_only, aligned.camera_2_only + 100);
  EXPECT_LT(apart.both + 100, aligned.both);
}

TEST(CloudView, EmptyCloudsGiveAnEmptyGridAndTheCameras)
{
  const pcl::PCLPointCloud2 empty;
  const cv::Mat view = draw_cloud_view(empty, empty, kCameras, kTopView, kPanel);
  EXPECT_EQ(view.size(), kPanel);
  EXPECT_GT(cv::countNonZero(view.reshape(1)), 0);
}

}  // namespace
}  // namespace tavrinox_camera_convertor
