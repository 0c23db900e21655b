// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "depth_code_frame.hpp"

#include <string>

#include "content_digest.hpp"
#include "depth_code.hpp"
#include "tavrinox_camera_convertor/codec/cloud_codec_error.hpp"

namespace tavrinox_camera_convertor::detail
{

std::uint64_t depth_code_frame_content(
  const std::uint8_t * frame, std::size_t size, std::uint32_t width, std::uint32_t height,
  const CloudDecoderLimits & limits)
{
  const std::uint64_t pixels =
    width == 0 || height == 0 ? 0 : static_cast<std::uint64_t>(width) * height;
  const std::uint64_t content = zstd_frame_content_size(frame, size, "depth image");
  if (content < pixels || content > depth_code_bound(pixels) || (content - pixels) % 2 != 0) {
    throw CloudCodecError(
            "the compressed depth image holds " + std::to_string(content) + " bytes, which no "
            "code of a " + std::to_string(width) + " x " + std::to_string(height) +
            " image takes");
  }
  if (content > limits.max_decoded_bytes) {
    throw CloudCodecError(
            "the compressed depth image holds " + std::to_string(content) + " bytes, beyond this "
            "decoder's limit of " + std::to_string(limits.max_decoded_bytes) + " bytes");
  }
  return content;
}

std::uint64_t decode_depth_code_frame(
  ZSTD_DCtx_s & context, const std::uint8_t * frame, std::size_t size, std::uint64_t content,
  std::uint32_t width, std::uint32_t height, std::vector<std::uint8_t> & code,
  std::uint16_t * millimetres)
{
  decompress_zstd_frame(context, frame, size, content, "depth image", code);
  code_to_depth(code.data(), code.size(), width, height, millimetres);
  const std::size_t pixels =
    width == 0 || height == 0 ? 0 : static_cast<std::size_t>(width) * height;
  return digest_of_millimetres(millimetres, pixels);
}

}  // namespace tavrinox_camera_convertor::detail
