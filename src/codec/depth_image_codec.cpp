// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "tavrinox_camera_convertor/codec/depth_image_codec.hpp"

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "depth_residuals.hpp"
#include "payload_bytes.hpp"
#include "tavrinox_camera_convertor/codec/cloud_codec_error.hpp"

namespace tavrinox_camera_convertor
{

DepthImageEncoder::DepthImageEncoder(int zstd_level)
: context_(make_zstd_compression_context(zstd_level))
{
}

void DepthImageEncoder::encode(const DepthPixels & depth, std::vector<std::uint8_t> & payload)
{
  const std::size_t pixels =
    depth.empty() ? 0 : static_cast<std::size_t>(depth.width()) * depth.height();
  planes_.resize(2 * pixels);
  if (pixels != 0) {
    detail::depth_to_residual_planes(depth, planes_.data());
  }
  payload.clear();
  detail::PayloadWriter writer(payload);
  for (const std::uint8_t byte : kDepthImagePayloadMagic) {
    writer.u8(byte);
  }
  writer.u8(kDepthImagePayloadVersion);
  writer.u32(depth.width());
  writer.u32(depth.height());
  append_zstd_frame(*context_, planes_.data(), planes_.size(), payload);
}

DepthImageDecoder::DepthImageDecoder(CloudDecoderLimits limits)
: limits_(limits), context_(make_zstd_decompression_context())
{
}

void DepthImageDecoder::decode(
  const std::uint8_t * payload, std::size_t size, std::uint32_t & width, std::uint32_t & height,
  std::vector<std::uint16_t> & millimetres)
{
  detail::PayloadReader reader(payload, size, "depth image payload");
  for (const std::uint8_t expected : kDepthImagePayloadMagic) {
    if (reader.u8() != expected) {
      throw CloudCodecError(
              "not a depth image payload: it does not start with the bytes \"TXDI\" (" +
              std::to_string(size) + " bytes)");
    }
  }
  const std::uint8_t version = reader.u8();
  if (version != kDepthImagePayloadVersion) {
    throw CloudCodecError(
            "depth image payload version " + std::to_string(version) + " is not supported: "
            "this decoder reads version " + std::to_string(kDepthImagePayloadVersion));
  }
  width = reader.u32();
  height = reader.u32();
  // Neither factor exceeds 32 bits, so the product fits 64.
  const std::uint64_t pixels = static_cast<std::uint64_t>(width) * height;
  const std::string size_text = std::to_string(width) + " x " + std::to_string(height);
  if (pixels > limits_.max_pixels || pixels > limits_.max_decoded_bytes / 2) {
    throw CloudCodecError(
            "depth image payload: its " + size_text + " image is beyond this decoder's limit "
            "of " + std::to_string(limits_.max_pixels) + " pixels or " +
            std::to_string(limits_.max_decoded_bytes) + " bytes");
  }
  if (pixels != 0 && width > std::numeric_limits<std::uint32_t>::max() / 2) {
    throw CloudCodecError(
            "depth image payload: a row of " + std::to_string(width) + " pixels is longer than "
            "an image message's step can describe");
  }
  decompress_zstd_frame(
    *context_, reader.here(), reader.left(), 2 * pixels, "depth image", planes_);
  millimetres.resize(static_cast<std::size_t>(pixels));
  if (pixels != 0) {
    detail::residual_planes_to_depth(planes_.data(), width, height, millimetres.data());
  }
}

}  // namespace tavrinox_camera_convertor
