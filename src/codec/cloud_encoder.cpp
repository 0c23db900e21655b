// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "tavrinox_camera_convertor/codec/cloud_encoder.hpp"

#include <string>

#include "camera_model_check.hpp"
#include "depth_residuals.hpp"
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

CloudEncoder::CloudEncoder(int zstd_level)
: context_(make_zstd_compression_context(zstd_level))
{
}

void CloudEncoder::encode_depth(
  const DepthPixels & depth, const CameraIntrinsics & intrinsics,
  const ExtrinsicTransform & extrinsic, std::vector<std::uint8_t> & payload)
{
  detail::require_codable_camera(intrinsics, extrinsic, "cannot encode a cloud as its depth image");
  const std::size_t pixels =
    depth.empty() ? 0 : static_cast<std::size_t>(depth.width()) * depth.height();
  planes_.resize(2 * pixels);
  detail::depth_to_residual_planes(depth, planes_.data());

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
  append_zstd_frame(*context_, planes_.data(), planes_.size(), payload);
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
  payload.clear();
  detail::PayloadWriter writer(payload);
  writer.prefix(CloudPayloadKind::cloud_data);
  writer.u64(cloud.data.size());
  append_zstd_frame(*context_, cloud.data.data(), cloud.data.size(), payload);
}

}  // namespace tavrinox_camera_convertor
