// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include <cstdint>
#include <vector>

#include "tavrinox_camera_convertor/geometry/camera_intrinsics.hpp"
#include "tavrinox_camera_convertor/geometry/cloud_source.hpp"
#include "tavrinox_camera_convertor/geometry/depth_pixels.hpp"
#include "tavrinox_camera_convertor/geometry/extrinsic_transform.hpp"

namespace tavrinox_camera_convertor
{

/**
 * @brief An owned copy of a cloud's source: its depth image, packed row-major in host-order
 *        millimetres, and the camera that back-projects it.
 *
 * A CloudSource is valid only while the frame runs; this copy lets a cloud be encoded later or
 * on another thread. Copying again reuses the buffer, so a steady stream of same-sized images
 * allocates nothing.
 */
class DepthSourceCopy
{
public:
  /// @brief Copies `depth`'s pixels and the camera, replacing what this copy held.
  void assign(
    const DepthPixels & depth, const CameraIntrinsics & intrinsics,
    const ExtrinsicTransform & extrinsic);

  /**
   * @brief Copies the image `source` points at and its camera.
   * @throws std::invalid_argument when `source.depth` is null (a cloud not made this frame), or
   *         its lens bends the rays
   */
  void assign(const CloudSource & source);

  /**
   * @brief Gives the copy a size and camera and returns its width x height pixels, row-major,
   *        for the caller to fill (their values are unspecified until then).
   * @throws std::length_error for a non-empty image with a row longer than 2^32 - 1 bytes,
   *         which an image message cannot describe
   */
  std::uint16_t * reset(
    std::uint32_t width, std::uint32_t height, const CameraIntrinsics & intrinsics,
    const ExtrinsicTransform & extrinsic);

  std::uint32_t width() const {return width_;}
  std::uint32_t height() const {return height_;}
  /// @brief The pixels, width x height of them, row after row.
  const std::vector<std::uint16_t> & millimetres() const {return millimetres_;}
  const CameraIntrinsics & intrinsics() const {return intrinsics_;}
  const ExtrinsicTransform & extrinsic() const {return extrinsic_;}

  /// @brief The copy as DepthPixels, valid while this copy lives unchanged.
  DepthPixels pixels() const;

private:
  std::uint32_t width_ = 0;
  std::uint32_t height_ = 0;
  std::vector<std::uint16_t> millimetres_;
  CameraIntrinsics intrinsics_;
  ExtrinsicTransform extrinsic_ = ExtrinsicTransform::Identity();
};

}  // namespace tavrinox_camera_convertor
