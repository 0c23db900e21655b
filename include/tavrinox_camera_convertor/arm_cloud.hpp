// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include <pcl/PCLPointCloud2.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "tavrinox_camera_convertor/back_projection.hpp"
#include "tavrinox_camera_convertor/camera_intrinsics.hpp"
#include "tavrinox_camera_convertor/depth_pixels.hpp"
#include "tavrinox_camera_convertor/extrinsic_transform.hpp"

namespace tavrinox_camera_convertor
{

/// Sees the encoded records of a cloud batch by batch, in cloud order, right after they are made.
class RecordObserver
{
public:
  virtual ~RecordObserver() = default;
  /// @brief `count` 16-byte records at `records`, valid during the call only.
  virtual void observe(const std::uint8_t * records, std::size_t count) = 0;
};

/**
 * @brief Back-projects depth images, maps the points into the arm frame and encodes them, in
 *        one pass per image.
 *
 * The message equals encode_cloud of pcl::transformPointCloud(depth_to_cloud(depth)) byte for
 * byte, without the intermediate clouds. Buffers are kept between calls.
 */
class ArmCloudWriter
{
public:
  ArmCloudWriter() = default;

  /**
   * @brief Writes the arm-frame cloud of `depth` into `out`, reusing its buffers.
   * @param observer if given, sees each image row's records while they are still in cache
   */
  void write(
    const DepthPixels & depth, const CameraIntrinsics & intrinsics, const ExtrinsicTransform & extrinsic,
    pcl::PCLPointCloud2 & out, RecordObserver * observer = nullptr);

private:
  /// @brief Encodes the measured pixels of one row from `first_record` on; returns how many.
  std::size_t encode_row(
    const std::uint8_t * row, std::uint32_t width, float row_offset, const CameraIntrinsics & intrinsics,
    const ExtrinsicTransform & extrinsic, std::uint8_t * first_record);

  MillimetreTable metres_;
  std::vector<std::uint8_t> row_records_;  ///< the last rows of a message, which has no room to spare
};

}  // namespace tavrinox_camera_convertor
