// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "tavrinox_camera_convertor/geometry/depth_completion.hpp"

#include <algorithm>
#include <cstring>
#include <string>

#include "row_kernels.hpp"
#include "tavrinox_camera_convertor/geometry/cloud_encoding.hpp"
#include "tavrinox_camera_convertor/geometry/frame_error.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

void store_u16(std::uint8_t * bytes, std::uint16_t value)
{
  std::memcpy(bytes, &value, sizeof value);
}

/// Gives `image` the header of a packed "16UC1" image and room for its pixels, left unwritten.
void shape_depth_image(std::uint32_t width, std::uint32_t height, ImageMessage & image)
{
  require_depth_row_fits(width);
  const std::uint64_t step = static_cast<std::uint64_t>(width) * sizeof(std::uint16_t);
  image.height = height;
  image.width = width;
  image.encoding = "16UC1";
  image.is_bigendian = host_is_bigendian() ? 1 : 0;
  image.step = static_cast<std::uint32_t>(step);
  image.data.resize(static_cast<std::size_t>(step) * height);
}

}  // namespace

void require_depth_row_fits(std::uint32_t width)
{
  const std::uint64_t step = static_cast<std::uint64_t>(width) * sizeof(std::uint16_t);
  if (step > std::numeric_limits<std::uint32_t>::max()) {
    throw FrameError(
            "camera 1 depth image: width " + std::to_string(width) +
            " is too large for a 16-bit image row");
  }
}

void reset_depth_image(std::uint32_t width, std::uint32_t height, ImageMessage & image)
{
  shape_depth_image(width, height, image);
  std::fill(image.data.begin(), image.data.end(), std::uint8_t{0});
}

void start_from_measured_depth(const DepthPixels & measured, ImageMessage & image)
{
  // Every byte is copied below, so the buffer is not cleared first.
  shape_depth_image(measured.width(), measured.height(), image);
  const std::size_t row_bytes = 2 * static_cast<std::size_t>(measured.width());
  for (std::uint32_t r = 0; r < measured.height() && row_bytes != 0; ++r) {
    std::memcpy(image.data.data() + r * row_bytes, measured.row(r), row_bytes);
  }
}

void project_cloud_to_depth(
  const pcl::PointCloud<pcl::PointXYZ> & cloud, const Eigen::Matrix4f & arm_to_camera,
  const CameraIntrinsics & intrinsics, ImageMessage & image)
{
  const detail::RenderConstants target =
    detail::render_constants({arm_to_camera, intrinsics, image});
  for (const pcl::PointXYZ & point : cloud) {
    detail::render_point(point.x, point.y, point.z, target);
  }
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
      const std::uint16_t measured_value = DepthPixels::at(source, c);
      std::uint16_t rendered;
      std::memcpy(&rendered, target + 2 * static_cast<std::size_t>(c), sizeof rendered);
      store_u16(
        target + 2 * static_cast<std::size_t>(c),
        measured_value != 0 ? measured_value : rendered);
    }
  }
}

void overlay_later_projection(const ImageMessage & later, ImageMessage & image)
{
  const std::size_t pixels = std::min(later.data.size(), image.data.size()) / 2;
  const std::uint8_t * source = later.data.data();
  std::uint8_t * target = image.data.data();
  // Keeps what is there wherever the later points wrote nothing; plain so that it vectorises.
  for (std::size_t k = 0; k < pixels; ++k) {
    std::uint16_t projected;
    std::uint16_t present;
    std::memcpy(&projected, source + 2 * k, sizeof projected);
    std::memcpy(&present, target + 2 * k, sizeof present);
    store_u16(target + 2 * k, projected != 0 ? projected : present);
  }
}

}  // namespace tavrinox_camera_convertor
