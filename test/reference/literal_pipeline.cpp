// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "literal_pipeline.hpp"

#include <Eigen/LU>
#include <pcl/common/transforms.h>
#include <pcl/conversions.h>
#include <pcl/point_cloud.h>
#include <pcl/point_types.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>

#include <opencv2/core.hpp>

#include "tavrinox_camera_convertor/geometry/depth_completion.hpp"
#include "tavrinox_camera_convertor/pipeline/color_conversion.hpp"

namespace tavrinox_camera_convertor::literal
{
namespace
{

using Cloud = pcl::PointCloud<pcl::PointXYZ>;

Cloud::Ptr depth_to_cloud(const ImageView & depth, const CameraIntrinsics & intrinsics)
{
  Cloud::Ptr cloud(new Cloud);
  std::size_t base = 0;
  for (std::uint32_t i = 0; i < depth.height; ++i) {
    for (std::uint32_t j = 0; j < depth.width; ++j) {
      std::uint16_t d;
      std::memcpy(&d, depth.data + 2 * (base + j), sizeof d);
      const float z = static_cast<float>(d / 1000.0);
      if (!(z > 0.0f)) {
        continue;
      }
      const float x = (static_cast<float>(j) - intrinsics.cx) * z / intrinsics.fx;
      const float y = (static_cast<float>(i) - intrinsics.cy) * z / intrinsics.fy;
      cloud->push_back(pcl::PointXYZ(x, y, z));
    }
    base += depth.width;
  }
  return cloud;
}

cv::Mat project_cloud_to_depth(
  const Cloud & merged, const Eigen::Matrix4f & extrinsic, const CameraIntrinsics & intrinsics,
  int width, int height)
{
  cv::Mat image = cv::Mat::zeros(height, width, CV_16UC1);
  const Eigen::Matrix4f inverse = extrinsic.inverse();
  for (const auto & point : merged) {
    const Eigen::Vector4f camera = inverse * Eigen::Vector4f(point.x, point.y, point.z, 1.0f);
    const float u = (intrinsics.fx * camera.x()) / camera.z() + intrinsics.cx;
    const float v = (intrinsics.fy * camera.y()) / camera.z() + intrinsics.cy;
    const std::int32_t c = saturating_trunc_to_int32(u);
    const std::int32_t r = saturating_trunc_to_int32(v);
    if (c < 0 || r < 0 || c >= width || r >= height) {
      continue;
    }
    const float millimetres = camera.z() * 1000.0f;
    // Points behind camera 1, below a millimetre or beyond 16 bits have no depth to give.
    if (!(camera.z() > 0.0f) || !(millimetres < 65536.0f) ||
      static_cast<std::uint32_t>(millimetres) == 0)
    {
      continue;
    }
    image.at<std::uint16_t>(r, c) = static_cast<std::uint16_t>(millimetres);
  }
  return image;
}

void overlay_measured_depth(cv::Mat & image, const ImageView & depth_1)
{
  const cv::Mat copy = cv::Mat(
    static_cast<int>(depth_1.height), static_cast<int>(depth_1.width), CV_16UC1,
    const_cast<std::uint8_t *>(depth_1.data)).clone();
  for (int r = 0; r < image.rows; ++r) {
    for (int c = 0; c < image.cols; ++c) {
      const std::uint16_t s = copy.at<std::uint16_t>(r, c);
      if (s != 0) {
        image.at<std::uint16_t>(r, c) = s;
      }
    }
  }
}

ImageMessage to_image_message(const cv::Mat & image)
{
  ImageMessage message;
  message.height = static_cast<std::uint32_t>(image.rows);
  message.width = static_cast<std::uint32_t>(image.cols);
  message.encoding = "16UC1";
  message.is_bigendian = host_is_bigendian() ? 1 : 0;
  message.step = static_cast<std::uint32_t>(image.cols * image.elemSize());
  message.data.resize(message.step * static_cast<std::size_t>(image.rows));
  if (!message.data.empty()) {
    std::memcpy(message.data.data(), image.data, message.data.size());
  }
  return message;
}

}  // namespace

LiteralFrame run_literal_frame(
  const CameraConfig & config, const ImageView & depth_1, const ImageView & depth_2,
  const ImageView & rgb_1)
{
  LiteralFrame frame;
  const Cloud::Ptr cloud_1 = depth_to_cloud(depth_1, config.intrinsics_1);
  const Cloud::Ptr cloud_2 = depth_to_cloud(depth_2, config.intrinsics_2);
  Cloud::Ptr arm_1(new Cloud);
  Cloud::Ptr arm_2(new Cloud);
  pcl::transformPointCloud(*cloud_1, *arm_1, config.extrinsic_1);
  pcl::transformPointCloud(*cloud_2, *arm_2, config.extrinsic_2);
  Cloud::Ptr merged(new Cloud);
  *merged = *arm_1 + *arm_2;
  pcl::toPCLPointCloud2(*arm_1, frame.cam1_cloud);
  pcl::toPCLPointCloud2(*arm_2, frame.cam2_cloud);

  cv::Mat completed = project_cloud_to_depth(
    *merged, config.extrinsic_1, config.intrinsics_1, static_cast<int>(depth_1.width),
    static_cast<int>(depth_1.height));
  overlay_measured_depth(completed, depth_1);
  frame.depth_image = to_image_message(completed);
  convert_image_to_rgb8(rgb_1, frame.color_image);
  frame.color_image.encoding = "rgb8";
  frame.color_image.is_bigendian = host_is_bigendian() ? 1 : 0;

  const ImageMessage second = to_image_message(completed);
  const Cloud::Ptr cloud_3 = depth_to_cloud(view_of(second), config.intrinsics_1);
  Cloud::Ptr arm_3(new Cloud);
  pcl::transformPointCloud(*cloud_3, *arm_3, config.extrinsic_1);
  pcl::toPCLPointCloud2(*arm_3, frame.converted_cloud);
  return frame;
}

}  // namespace tavrinox_camera_convertor::literal
