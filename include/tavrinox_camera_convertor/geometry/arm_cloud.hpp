// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include <pcl/PCLPointCloud2.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "tavrinox_camera_convertor/geometry/back_projection.hpp"
#include "tavrinox_camera_convertor/geometry/camera_intrinsics.hpp"
#include "tavrinox_camera_convertor/geometry/depth_pixels.hpp"
#include "tavrinox_camera_convertor/geometry/depth_render_target.hpp"
#include "tavrinox_camera_convertor/geometry/extrinsic_transform.hpp"
#include "tavrinox_camera_convertor/geometry/instruction_set.hpp"
#include "tavrinox_camera_convertor/geometry/pixel_rays.hpp"

namespace tavrinox_camera_convertor
{
namespace detail
{
struct RowPoints;
}  // namespace detail

/**
 * @brief Back-projects depth images, maps the points into the arm frame and encodes them, in
 *        one pass per image, optionally rendering each point into a depth image on the way.
 *
 * The message equals encode_cloud of pcl::transformPointCloud(depth_to_cloud(depth)) byte for
 * byte, without the intermediate clouds, and the rendering equals project_cloud_to_depth of
 * that cloud. Buffers are kept between calls.
 */
class ArmCloudWriter
{
public:
  /**
   * @brief A writer whose per-pixel loops use `instruction_set`; every choice gives the same bytes.
   * @throws std::invalid_argument when this build or processor cannot run `instruction_set`
   */
  explicit ArmCloudWriter(InstructionSet instruction_set = fastest_instruction_set());

  /**
   * @brief Writes the arm-frame cloud of `depth` into `out`, reusing its buffers.
   * @param render if given, every point is rendered into it, in cloud order, while it is made
   * @param rays if given, the pixels' rays through a bending lens, of the image's size; without,
   *        the pinhole arithmetic of `intrinsics`
   * @throws std::invalid_argument when `rays` are of another size than `depth`
   */
  void write(
    const DepthPixels & depth, const CameraIntrinsics & intrinsics,
    const ExtrinsicTransform & extrinsic,
    pcl::PCLPointCloud2 & out, const DepthRenderTarget * render = nullptr,
    const PixelRays * rays = nullptr);

  /**
   * @brief Renders the arm-frame points of `depth` into `render`, in cloud order, as write()
   *        does, for a frame whose cloud itself is not wanted.
   */
  void render(
    const DepthPixels & depth, const CameraIntrinsics & intrinsics,
    const ExtrinsicTransform & extrinsic,
    const DepthRenderTarget & render, const PixelRays * rays = nullptr);

  InstructionSet instruction_set() const {return instruction_set_;}

private:
  /// @brief Encodes every row; records go to `records` (sized exactly) or, if null, are dropped.
  void encode_rows(
    const DepthPixels & depth, const CameraIntrinsics & intrinsics,
    const ExtrinsicTransform & extrinsic,
    std::uint8_t * records, std::size_t record_bytes, const DepthRenderTarget * render,
    const PixelRays * rays);

  /// @brief Room for one row's points in structure-of-arrays form.
  detail::RowPoints row_points(std::uint32_t width);

  InstructionSet instruction_set_;
  MillimetreTable metres_;
  /// the last rows of a message, which has no room to spare
  std::vector<std::uint8_t> row_records_;
  std::vector<float> row_points_;
};

}  // namespace tavrinox_camera_convertor
