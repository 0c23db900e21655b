// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "tavrinox_camera_convertor/codec/depth_image_codec.hpp"

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "depth_code_frame.hpp"
#include "payload_bytes.hpp"
#include "tavrinox_camera_convertor/codec/cloud_codec_error.hpp"

namespace tavrinox_camera_convertor
{

void write_depth_image_payload(const CompressedDepth & depth, std::vector<std::uint8_t> & payload)
{
  payload.clear();
  detail::PayloadWriter writer(payload);
  writer.prefix(kDepthImagePayloadMagic, kDepthImagePayloadVersion);
  writer.u32(depth.width());
  writer.u32(depth.height());
  writer.checksum(depth.digest());
  writer.bytes(depth.frame(), depth.frame_size());
}

DepthImageEncoder::DepthImageEncoder(const ZstdTuning & tuning)
: compressor_(tuning)
{
}

void DepthImageEncoder::encode(const DepthPixels & depth, std::vector<std::uint8_t> & payload)
{
  compressor_.compress(depth, compressed_);
  write_depth_image_payload(compressed_, payload);
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
  reader.prefix(
    kDepthImagePayloadMagic, kDepthImagePayloadVersion, "depth image payload", "TXDI");
  width = reader.u32();
  height = reader.u32();
  reader.read_checksum();
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
  const std::uint64_t content =
    detail::depth_code_frame_content(reader.here(), reader.left(), width, height, limits_);
  millimetres.resize(static_cast<std::size_t>(pixels));
  reader.require_checksum(
    detail::decode_depth_code_frame(
      *context_, reader.here(), reader.left(), content, width, height, code_,
      millimetres.data()));
}

}  // namespace tavrinox_camera_convertor
