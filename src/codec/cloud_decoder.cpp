// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "tavrinox_camera_convertor/codec/cloud_decoder.hpp"

#include <limits>
#include <string>
#include <utility>

#include "camera_model_check.hpp"
#include "content_digest.hpp"
#include "depth_code_frame.hpp"
#include "payload_bytes.hpp"
#include "tavrinox_camera_convertor/codec/cloud_codec_error.hpp"
#include "tavrinox_camera_convertor/geometry/cloud_encoding.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

std::string field_text(const pcl::PCLPointField & field)
{
  return "\"" + field.name + "\" at " + std::to_string(field.offset) + " type " +
         std::to_string(field.datatype) + " count " + std::to_string(field.count);
}

/// The first layout value where `message` differs from `decoded`, in words; empty if none does.
std::string layout_difference(
  const pcl::PCLPointCloud2 & message, const pcl::PCLPointCloud2 & decoded)
{
  const auto differs = [](const char * name, std::uint64_t said, std::uint64_t made) {
      return std::string(name) + " " + std::to_string(said) + " (the decoded cloud's: " +
             std::to_string(made) + ")";
    };
  if (message.height != decoded.height) {
    return differs("height", message.height, decoded.height);
  }
  if (message.width != decoded.width) {
    return differs("width", message.width, decoded.width);
  }
  if (message.point_step != decoded.point_step) {
    return differs("point_step", message.point_step, decoded.point_step);
  }
  if (message.row_step != decoded.row_step) {
    return differs("row_step", message.row_step, decoded.row_step);
  }
  if (message.is_bigendian != decoded.is_bigendian) {
    return differs("is_bigendian", message.is_bigendian, decoded.is_bigendian);
  }
  if (message.is_dense != decoded.is_dense) {
    return differs("is_dense", message.is_dense, decoded.is_dense);
  }
  if (message.fields.size() != decoded.fields.size()) {
    return differs("number of fields", message.fields.size(), decoded.fields.size());
  }
  for (std::size_t k = 0; k < message.fields.size(); ++k) {
    const pcl::PCLPointField & said = message.fields[k];
    const pcl::PCLPointField & made = decoded.fields[k];
    if (said.name != made.name || said.offset != made.offset ||
      said.datatype != made.datatype || said.count != made.count)
    {
      return "field " + std::to_string(k) + " " + field_text(said) + " (the decoded cloud's: " +
             field_text(made) + ")";
    }
  }
  return {};
}

std::size_t count_measured(const std::vector<std::uint16_t> & millimetres)
{
  std::size_t count = 0;
  // Pixels with depth, each one point of the cloud.
  for (const std::uint16_t value : millimetres) {
    count += value != 0;
  }
  return count;
}

std::string limit_text(std::uint64_t limit, const char * unit)
{
  return "this decoder's limit of " + std::to_string(limit) + " " + unit;
}

}  // namespace

CloudDecoder::CloudDecoder(CloudDecoderLimits limits, InstructionSet instruction_set)
: limits_(limits), context_(make_zstd_decompression_context()), writer_(instruction_set)
{
  prepare_xyz_cloud(0, xyz_layout_);
}

CloudPayloadKind CloudDecoder::decode(
  const std::uint8_t * payload, std::size_t size, const pcl::PCLPointCloud2 & layout,
  pcl::PCLPointCloud2 & out)
{
  detail::PayloadReader reader(payload, size);
  const std::uint8_t kind = reader.prefix();
  switch (kind) {
    case static_cast<std::uint8_t>(CloudPayloadKind::depth_image):
      decode_depth(reader, layout, out);
      return CloudPayloadKind::depth_image;
    case static_cast<std::uint8_t>(CloudPayloadKind::cloud_data):
      decode_cloud_data(reader, layout, out);
      return CloudPayloadKind::cloud_data;
    default:
      throw CloudCodecError(
              "cloud payload kind " + std::to_string(kind) + " is unknown (1: depth image, "
              "2: cloud data)");
  }
}

void CloudDecoder::decode_depth(
  detail::PayloadReader & reader, const pcl::PCLPointCloud2 & layout, pcl::PCLPointCloud2 & out)
{
  const std::uint32_t width = reader.u32();
  const std::uint32_t height = reader.u32();
  CameraIntrinsics intrinsics;
  intrinsics.fx = reader.f32();
  intrinsics.fy = reader.f32();
  intrinsics.cx = reader.f32();
  intrinsics.cy = reader.f32();
  ExtrinsicTransform extrinsic;
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 4; ++j) {
      extrinsic(i, j) = reader.f32();
    }
  }
  reader.read_checksum();
  detail::require_codable_camera(intrinsics, extrinsic, "depth payload");

  // Neither factor exceeds 32 bits, so the product fits 64.
  const std::uint64_t pixels = static_cast<std::uint64_t>(width) * height;
  const std::string size_text = std::to_string(width) + " x " + std::to_string(height);
  if (pixels > limits_.max_pixels) {
    throw CloudCodecError(
            "depth payload: its " + size_text + " image (" + std::to_string(pixels) +
            " pixels) is beyond " + limit_text(limits_.max_pixels, "pixels"));
  }
  if (pixels > limits_.max_decoded_bytes / 2) {
    throw CloudCodecError(
            "depth payload: its " + size_text + " image of 2 bytes a pixel is beyond " +
            limit_text(limits_.max_decoded_bytes, "bytes"));
  }
  if (pixels != 0 && width > std::numeric_limits<std::uint32_t>::max() / 2) {
    throw CloudCodecError(
            "depth payload: a row of " + std::to_string(width) + " pixels is longer than an "
            "image message's step can describe");
  }
  const std::uint64_t content =
    detail::depth_code_frame_content(reader.here(), reader.left(), width, height, limits_);
  std::uint16_t * const millimetres = source_.reset(width, height, intrinsics, extrinsic);
  reader.require_checksum(
    detail::decode_depth_code_frame(
      *context_, reader.here(), reader.left(), content, width, height, code_, millimetres));

  // The cloud's layout follows from its point count: checked before its records take memory.
  const std::size_t points = count_measured(source_.millimetres());
  if (points > limits_.max_decoded_bytes / kPointRecordBytes) {
    throw CloudCodecError(
            "depth payload: its cloud of " + std::to_string(points) + " points is beyond " +
            limit_text(limits_.max_decoded_bytes, "bytes"));
  }
  xyz_layout_.width = static_cast<pcl::uindex_t>(points);
  xyz_layout_.row_step = static_cast<pcl::uindex_t>(kPointRecordBytes * points);
  const std::string difference = layout_difference(layout, xyz_layout_);
  if (!difference.empty()) {
    throw CloudCodecError(
            "the cloud layout beside the depth payload disagrees with the decoded cloud: " +
            difference);
  }
  // The writer gives the message a fresh header; the caller's stays.
  pcl::PCLHeader header;
  std::swap(header, out.header);
  writer_.write(source_.pixels(), intrinsics, extrinsic, out);
  std::swap(header, out.header);
}

void CloudDecoder::decode_cloud_data(
  detail::PayloadReader & reader, const pcl::PCLPointCloud2 & layout, pcl::PCLPointCloud2 & out)
{
  const std::uint64_t bytes = reader.u64();
  if (bytes > limits_.max_decoded_bytes) {
    throw CloudCodecError(
            "cloud data payload: its " + std::to_string(bytes) + " bytes are beyond " +
            limit_text(limits_.max_decoded_bytes, "bytes"));
  }
  const std::uint64_t rows_bytes = static_cast<std::uint64_t>(layout.row_step) * layout.height;
  if (rows_bytes != bytes) {
    throw CloudCodecError(
            "the cloud layout beside the cloud data payload disagrees with it: row_step " +
            std::to_string(layout.row_step) + " x height " + std::to_string(layout.height) +
            " = " + std::to_string(rows_bytes) + " bytes, the payload holds " +
            std::to_string(bytes));
  }
  reader.read_checksum();
  decompress_zstd_frame(*context_, reader.here(), reader.left(), bytes, "cloud data", out.data);
  // The layout that travelled beside the payload is covered too: another one would make
  // another cloud of the same bytes.
  reader.require_checksum(detail::digest_of_cloud(layout, out.data.data()));
  if (&layout != &out) {
    out.height = layout.height;
    out.width = layout.width;
    out.fields = layout.fields;
    out.is_bigendian = layout.is_bigendian;
    out.point_step = layout.point_step;
    out.row_step = layout.row_step;
    out.is_dense = layout.is_dense;
  }
}

}  // namespace tavrinox_camera_convertor
