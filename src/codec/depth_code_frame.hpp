// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "tavrinox_camera_convertor/codec/cloud_decoder.hpp"
#include "tavrinox_camera_convertor/codec/zstd_frame.hpp"

namespace tavrinox_camera_convertor::detail
{

/**
 * @brief The bytes of the depth code that the zstd frame filling `frame` .. `frame + size`
 *        states it holds, checked before anything is allocated for it: a width x height image's
 *        code takes a byte a pixel and two more for each escaped one.
 * @throws CloudCodecError for a frame that is not one whole frame stating its size, of a size
 *         no code of the image has, or beyond `limits`
 */
std::uint64_t depth_code_frame_content(
  const std::uint8_t * frame, std::size_t size, std::uint32_t width, std::uint32_t height,
  const CloudDecoderLimits & limits);

/**
 * @brief Decodes that frame, of `content` bytes, into `millimetres` (packed, row-major, host
 *        order) and returns their digest, for the payload's checksum.
 * @param code the decompressed code, kept between payloads
 * @param millimetres room for width x height pixels
 * @throws CloudCodecError for a corrupt frame or a code that does not describe the image
 */
std::uint64_t decode_depth_code_frame(
  ZSTD_DCtx_s & context, const std::uint8_t * frame, std::size_t size, std::uint64_t content,
  std::uint32_t width, std::uint32_t height, std::vector<std::uint8_t> & code,
  std::uint16_t * millimetres);

}  // namespace tavrinox_camera_convertor::detail
