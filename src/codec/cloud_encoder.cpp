// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "tavrinox_camera_convertor/codec/cloud_encoder.hpp"

#include <string>

#include "camera_model_check.hpp"
#include "content_digest.hpp"
#include "payload_bytes.hpp"
#include "tavrinox_camera_convertor/codec/cloud_codec_error.hpp"
#include "tavrinox_camera_convertor/codec/cloud_payload.hpp"

namespace tavrinox_camera_convertor
{

pcl::PCLPointCloud2 layout_of(const pcl::PCLPointCloud2 & cloud)
{
  pcl::PCLPointCloud2 layout;
  layout.height = cloud.height;
  layout.width = cloud.width;
  layout.fields = cloud.fields;
  layout.is_bigendian = cloud.is_bigendian;
  layout.point_step = cloud.point_step;
  layout.row_step = cloud.row_step;
  layout.is_dense = cloud.is_dense;
  return layout;
}

void write_depth_cloud_payload(
  const CompressedDepth & depth, const CameraIntrinsics & intrinsics,
  const ExtrinsicTransform & extrinsic, std::vector<std::uint8_t> & payload)
{
  detail::require_codable_camera(intrinsics, extrinsic, "cannot encode a cloud as its depth image");
  payload.clear();
  detail::PayloadWriter writer(payload);
  writer.prefix(CloudPayloadKind::depth_image);
  writer.u32(depth.width());
  writer.u32(depth.height());
  for (const float value : {intrinsics.fx, intrinsics.fy, intrinsics.cx, intrinsics.cy}) {
    writer.f32(value);
  }
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 4; ++j) {
      writer.f32(extrinsic(i, j));
    }
  }
  writer.checksum(depth.digest());
  writer.bytes(depth.frame(), depth.frame_size());
}

CloudEncoder::CloudEncoder(int zstd_level, const ZstdTuning & depth_tuning)
: context_(make_zstd_compression_context(zstd_level)), depth_compressor_(depth_tuning)
{
}

void CloudEncoder::encode_depth(
  const DepthPixels & depth, const CameraIntrinsics & intrinsics,
  const ExtrinsicTransform & extrinsic, std::vector<std::uint8_t> & payload)
{
  // Refused before the work of compressing.
  detail::require_codable_camera(intrinsics, extrinsic, "cannot encode a cloud as its depth image");
  depth_compressor_.compress(depth, compressed_);
  write_depth_cloud_payload(compressed_, intrinsics, extrinsic, payload);
}

void CloudEncoder::encode_depth(
  const DepthSourceCopy & source, std::vector<std::uint8_t> & payload)
{
  encode_depth(source.pixels(), source.intrinsics(), source.extrinsic(), payload);
}

void CloudEncoder::encode_cloud_data(
  const pcl::PCLPointCloud2 & cloud, std::vector<std::uint8_t> & payload)
{
  const std::uint64_t rows_bytes = static_cast<std::uint64_t>(cloud.row_step) * cloud.height;
  if (cloud.data.size() != rows_bytes) {
    throw CloudCodecError(
            "cannot encode a cloud whose data holds " + std::to_string(cloud.data.size()) +
            " bytes: its row_step x height is " + std::to_string(rows_bytes));
  }
  const std::size_t frame_size =
    compress_zstd_frame(*context_, cloud.data.data(), cloud.data.size(), room_);
  payload.clear();
  detail::PayloadWriter writer(payload);
  writer.prefix(CloudPayloadKind::cloud_data);
  writer.u64(cloud.data.size());
  writer.checksum(detail::digest_of_cloud(cloud, cloud.data.data()));
  writer.bytes(room_.data(), frame_size);
}

}  // namespace tavrinox_camera_convertor
