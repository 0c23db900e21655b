// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// A lossless code for 16-bit depth images, the one the clouds' depth payloads use, for the depth
// image itself. What DepthImageEncoder writes and DepthImageDecoder reads, little-endian:
//
//   offset  size  content
//   0       4     magic "TXDI"
//   4       1     version, kDepthImagePayloadVersion
//   5       4     width, pixels (u32)
//   9       4     height, pixels (u32)
//   13      8     checksum (u64): XXH3-64 of bytes 0 to 12 followed by the image's digest, the
//                 XXH3-64 of its millimetres (u16 each, row after row), as 8 bytes
//   21      rest  one zstd frame, stating its content size, of the image's depth code, exactly
//                 as a cloud payload's (cloud_payload.hpp)
//
// Version 1 (left differences in two byte planes, no checksum of the header) is refused.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "tavrinox_camera_convertor/codec/cloud_decoder.hpp"
#include "tavrinox_camera_convertor/codec/compressed_depth.hpp"
#include "tavrinox_camera_convertor/codec/zstd_frame.hpp"
#include "tavrinox_camera_convertor/geometry/depth_pixels.hpp"

namespace tavrinox_camera_convertor
{

/// First bytes of every depth image payload.
inline constexpr std::array<std::uint8_t, 4> kDepthImagePayloadMagic = {'T', 'X', 'D', 'I'};
/// The depth image payload version this build writes and reads.
inline constexpr std::uint8_t kDepthImagePayloadVersion = 2;
/// Bytes before a depth image payload's zstd frame, its checksum the last eight of them.
inline constexpr std::size_t kDepthImagePayloadHeaderBytes = 21;

/**
 * @brief Writes into `payload` (replacing its contents, reusing its buffer) the depth image
 *        payload of the compressed image: a header in front of a copy of the frame, no
 *        compression, so an image several payloads carry is compressed once. The same bytes as
 *        DepthImageEncoder::encode() of the image.
 */
void write_depth_image_payload(const CompressedDepth & depth, std::vector<std::uint8_t> & payload);

/**
 * @brief Turns a 16-bit millimetre depth image into a payload that DepthImageDecoder turns back
 *        into the same millimetres: at 1280 x 720 a few milliseconds on one core, far less than
 *        PNG at its fastest level, and smaller. Keeps its zstd context and buffers, so a steady
 *        stream allocates nothing. One encoder serves one thread at a time.
 */
class DepthImageEncoder
{
public:
  /**
   * @brief An encoder whose zstd frames are written with `tuning`.
   * @throws std::invalid_argument for a setting zstd does not have
   */
  explicit DepthImageEncoder(const ZstdTuning & tuning = kDepthZstdTuning);

  /// @brief Writes `depth` into `payload`, replacing its contents.
  void encode(const DepthPixels & depth, std::vector<std::uint8_t> & payload);

private:
  DepthCompressor compressor_;
  CompressedDepth compressed_;
};

/**
 * @brief Turns a DepthImageEncoder payload back into the millimetres that were encoded.
 *
 * Any payload is untrusted: decode() returns the image or throws CloudCodecError, reads nothing
 * outside the payload, and allocates only what the limits allow. One decoder serves one thread
 * at a time.
 */
class DepthImageDecoder
{
public:
  /// @brief A decoder that refuses what is beyond `limits` before allocating it.
  explicit DepthImageDecoder(CloudDecoderLimits limits = {});

  /**
   * @brief Decodes `size` bytes at `payload`.
   * @param millimetres the image's pixels, row by row without padding, in host byte order
   * @throws CloudCodecError for a payload that is not one, of another version, truncated,
   *         corrupt, beyond the limits, or that does not match its checksum; the outputs are
   *         then unspecified
   */
  void decode(
    const std::uint8_t * payload, std::size_t size, std::uint32_t & width, std::uint32_t & height,
    std::vector<std::uint16_t> & millimetres);

private:
  CloudDecoderLimits limits_;
  ZstdDecompressionContext context_;
  std::vector<std::uint8_t> code_;
};

}  // namespace tavrinox_camera_convertor
