// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "tavrinox_camera_convertor/depth_completion.hpp"

#include <cstring>
#include <string>

#include "tavrinox_camera_convertor/cloud_encoding.hpp"
#include "tavrinox_camera_convertor/frame_error.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

void store_u16(std::uint8_t * bytes, std::uint16_t value)
{
  std::memcpy(bytes, &value, sizeof value);
}

}  // namespace

void reset_depth_image(std::uint32_t width, std::uint32_t height, ImageMessage & image)
{
  const std::uint64_t step = static_cast<std::uint64_t>(width) * sizeof(std::uint16_t);
  if (step > std::numeric_limits<std::uint32_t>::max()) {
    throw FrameError(
            "camera 1 depth image: width " + std::to_string(width) +
            " is too large for a 16-bit image row");
  }
  image.height = height;
  image.width = width;
  image.encoding = "16UC1";
  image.is_bigendian = host_is_bigendian() ? 1 : 0;
  image.step = static_cast<std::uint32_t>(step);
  image.data.assign(static_cast<std::size_t>(step) * height, 0);
}

void project_points_to_depth(
  const std::uint8_t * records, std::size_t count, const Eigen::Matrix4f & arm_to_camera,
  const CameraIntrinsics & intrinsics, ImageMessage & image)
{
  const std::uint32_t width = image.width;
  const std::uint32_t height = image.height;
  std::uint8_t * pixels = image.data.data();
  // Projects each point into camera 1 and keeps the last depth that lands on a pixel.
  for (std::size_t k = 0; k < count; ++k) {
    float point[4];
    std::memcpy(point, records + k * kPointRecordBytes, sizeof point);
    const Eigen::Vector4f camera = arm_to_camera * Eigen::Vector4f(point[0], point[1], point[2], 1.0f);
    const float z = camera.z();
    // Behind the camera, on its plane or NaN: such a point has no depth to give.
    if (!(z > 0.0f)) {
      continue;
    }
    const float millimetres = z * 1000.0f;
    if (!(millimetres < 65536.0f)) {
      continue;
    }
    const auto value = static_cast<std::uint16_t>(millimetres);
    if (value == 0) {
      continue;
    }
    const float u = (intrinsics.fx * camera.x()) / z + intrinsics.cx;
    const float v = (intrinsics.fy * camera.y()) / z + intrinsics.cy;
    const std::int32_t column = saturating_trunc_to_int32(u);
    const std::int32_t row = saturating_trunc_to_int32(v);
    if (column < 0 || row < 0 || static_cast<std::uint32_t>(column) >= width ||
      static_cast<std::uint32_t>(row) >= height)
    {
      continue;
    }
    store_u16(pixels + static_cast<std::size_t>(row) * image.step + 2 * static_cast<std::size_t>(column), value);
  }
}

void project_cloud_to_depth(
  const pcl::PointCloud<pcl::PointXYZ> & cloud, const Eigen::Matrix4f & arm_to_camera,
  const CameraIntrinsics & intrinsics, ImageMessage & image)
{
  project_points_to_depth(
    reinterpret_cast<const std::uint8_t *>(cloud.points.data()), cloud.size(), arm_to_camera, intrinsics, image);
}

void overlay_measured_depth(const DepthPixels & measured, ImageMessage & image)
{
  if (measured.empty()) {
    return;
  }
  const std::uint32_t rows = std::min(measured.height(), image.height);
  const std::uint32_t columns = std::min(measured.width(), image.width);
  for (std::uint32_t r = 0; r < rows; ++r) {
    const std::uint8_t * source = measured.row(r);
    std::uint8_t * target = image.data.data() + static_cast<std::size_t>(r) * image.step;
    // Measured depth wins; zero means camera 1 saw nothing there.
    for (std::uint32_t c = 0; c < columns; ++c) {
      const std::uint16_t value = DepthPixels::at(source, c);
      if (value != 0) {
        store_u16(target + 2 * static_cast<std::size_t>(c), value);
      }
    }
  }
}

}  // namespace tavrinox_camera_convertor
