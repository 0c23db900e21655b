// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include <pcl/PCLPointCloud2.h>

#include <cstdint>
#include <vector>

#include "tavrinox_camera_convertor/codec/compressed_depth.hpp"
#include "tavrinox_camera_convertor/codec/depth_source_copy.hpp"
#include "tavrinox_camera_convertor/codec/zstd_frame.hpp"
#include "tavrinox_camera_convertor/geometry/camera_intrinsics.hpp"
#include "tavrinox_camera_convertor/geometry/depth_pixels.hpp"
#include "tavrinox_camera_convertor/geometry/extrinsic_transform.hpp"

namespace tavrinox_camera_convertor
{

/// @brief What of `cloud` travels beside its payload: the layout (size, fields, steps, byte
///        order, density), neither its header nor its data.
pcl::PCLPointCloud2 layout_of(const pcl::PCLPointCloud2 & cloud);

/**
 * @brief Writes into `payload` (replacing its contents, reusing its buffer) the cloud that
 *        ArmCloudWriter::write makes of the compressed image with this camera: a header in
 *        front of a copy of the frame, no compression, so an image several payloads carry is
 *        compressed once. The same bytes as CloudEncoder::encode_depth() of the image.
 * @throws CloudCodecError for a camera the decoder would refuse (see
 *         CloudEncoder::encode_depth())
 */
void write_depth_cloud_payload(
  const CompressedDepth & depth, const CameraIntrinsics & intrinsics,
  const ExtrinsicTransform & extrinsic, std::vector<std::uint8_t> & payload);

/**
 * @brief Turns a cloud into a self-describing payload (cloud_payload.hpp) that CloudDecoder
 *        turns back into the same bytes.
 *
 * A cloud that is the back-projection of a depth image travels as that image and its camera:
 * at 1280 x 720 some 30 times smaller than the cloud, where zstd of the cloud itself gains
 * less than 2x. Any other cloud travels as its zstd-compressed data. The encoder keeps its zstd
 * context and buffers, and every payload vector handed to it keeps its own, so encoding a
 * steady stream allocates nothing. One encoder serves one thread at a time.
 */
class CloudEncoder
{
public:
  /// zstd's level for a cloud's data: on noisy depth's clouds both faster and smaller than
  /// level 3, whose match finding the noise defeats (bench/cloud_codec_benchmark).
  static constexpr int kDefaultZstdLevel = 1;

  /**
   * @brief An encoder whose depth images are compressed with `depth_tuning` and clouds' data
   *        at `zstd_level`.
   * @throws std::invalid_argument for a setting zstd does not have
   */
  explicit CloudEncoder(
    int zstd_level = kDefaultZstdLevel, const ZstdTuning & depth_tuning = kDepthZstdTuning);

  /**
   * @brief Writes into `payload` (replacing its contents) the cloud that ArmCloudWriter::write
   *        makes of `depth` with this camera.
   * @throws CloudCodecError for a camera the decoder would refuse: a NaN, infinite or zero focal
   *         length, a non-finite principal point or extrinsic entry, or an extrinsic whose
   *         bottom row is not 0 0 0 1; such a cloud can still go through encode_cloud_data()
   */
  void encode_depth(
    const DepthPixels & depth, const CameraIntrinsics & intrinsics,
    const ExtrinsicTransform & extrinsic, std::vector<std::uint8_t> & payload);

  /// @brief encode_depth() of a kept copy of a frame's cloud source.
  void encode_depth(const DepthSourceCopy & source, std::vector<std::uint8_t> & payload);

  /**
   * @brief Writes `cloud`'s data bytes into `payload` (replacing its contents); its layout
   *        (everything but the data) travels beside the payload, not in it.
   * @throws CloudCodecError when the data does not hold row_step x height bytes, as every cloud
   *         message does
   */
  void encode_cloud_data(const pcl::PCLPointCloud2 & cloud, std::vector<std::uint8_t> & payload);

private:
  ZstdCompressionContext context_;
  DepthCompressor depth_compressor_;
  CompressedDepth compressed_;
  std::vector<std::uint8_t> room_;  ///< a cloud's data frame, kept at its largest size
};

}  // namespace tavrinox_camera_convertor
