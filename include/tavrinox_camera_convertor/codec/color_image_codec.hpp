// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// A lossless code for 8-bit colour images, several times faster than PNG at its fastest level
// and no larger on camera images. What ColorImageEncoder writes and ColorImageDecoder reads,
// little-endian:
//
//   offset  size  content
//   0       4     magic "TXCI"
//   4       1     version, kColorImagePayloadVersion
//   5       1     pixel layout, ColorLayout: 1 rgb8, 2 bgr8, 3 rgba8, 4 bgra8
//   6       4     width, pixels (u32)
//   10      4     height, pixels (u32)
//   14      8     checksum (u64): XXH3-64 of bytes 0 to 13 followed by the image's digest, the
//                 XXH3-64 of its pixels' bytes (rows without padding), as 8 bytes
//   22      rest  one zstd frame, stating its content size, of the image's colour code
//
// The colour code of a width x height image of C channels (3 or 4): C planes of width x height
// bytes each. Each byte's difference, modulo 256, from the same channel of the pixel above it (in
// row 0 from the pixel on its left, the first pixel from 0); plane 0 holds channel 1's
// differences, plane 1 channel 0's minus channel 1's, plane 2 channel 2's minus channel 1's,
// plane 3 (four channels) channel 3's. Channel 1 is green in every layout, so rgb8 and bgr8
// differ only in which plane holds red.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "tavrinox_camera_convertor/codec/cloud_decoder.hpp"
#include "tavrinox_camera_convertor/codec/zstd_frame.hpp"
#include "tavrinox_camera_convertor/geometry/image.hpp"

namespace tavrinox_camera_convertor
{

/// First bytes of every colour image payload.
inline constexpr std::array<std::uint8_t, 4> kColorImagePayloadMagic = {'T', 'X', 'C', 'I'};
/// The colour image payload version this build writes and reads.
inline constexpr std::uint8_t kColorImagePayloadVersion = 1;
/// Bytes before a colour image payload's zstd frame, its checksum the last eight of them.
inline constexpr std::size_t kColorImagePayloadHeaderBytes = 22;

/// The pixel layouts the colour code carries: 8 bits a channel, as sensor_msgs names them.
enum class ColorLayout : std::uint8_t
{
  rgb8 = 1,
  bgr8 = 2,
  rgba8 = 3,
  bgra8 = 4,
};

/// @brief The layout of an image message's `encoding`; nothing for one the code does not carry.
std::optional<ColorLayout> color_layout_of(std::string_view encoding);

/// @brief The encoding's name, e.g. "rgb8".
const char * encoding_of(ColorLayout layout);

/// @brief 3 or 4.
unsigned channels_of(ColorLayout layout);

/**
 * zstd's settings for colour codes: Huffman-coded literals at a negative level, whose match
 * finder skips ahead over a camera's noise and still finds flat areas, with a table small enough
 * to stay in the first-level cache (bench/color_codec_benchmark compares it with other settings
 * and with PNG).
 */
inline constexpr ZstdTuning kColorZstdTuning{-5, true, 12, 7};

/**
 * @brief Turns an rgb8, bgr8, rgba8 or bgra8 image into a payload that ColorImageDecoder turns
 *        back into the same bytes. Keeps its zstd context and buffers, so a steady stream of
 *        same-sized images allocates nothing. One encoder serves one thread at a time.
 */
class ColorImageEncoder
{
public:
  /**
   * @brief An encoder whose zstd frames are written with `tuning`.
   * @throws std::invalid_argument for a setting zstd does not have
   */
  explicit ColorImageEncoder(const ZstdTuning & tuning = kColorZstdTuning);

  /**
   * @brief Writes `image` into `payload`, replacing its contents.
   * @throws CloudCodecError for another encoding, a row step shorter than a row, data shorter
   *         than step x height, or a row longer than 2^32 - 1 bytes
   */
  void encode(const ImageView & image, std::vector<std::uint8_t> & payload);

private:
  ZstdCompressionContext context_;
  std::vector<std::uint8_t> code_;  ///< kept at its largest size: growing a vector writes zeros
  std::vector<std::uint8_t> room_;  ///< the frame, likewise
};

/**
 * @brief Turns a ColorImageEncoder payload back into the pixels that were encoded.
 *
 * Any payload is untrusted: decode() returns the image or throws CloudCodecError, reads nothing
 * outside the payload, and allocates only what the limits allow. One decoder serves one thread
 * at a time.
 */
class ColorImageDecoder
{
public:
  /// @brief A decoder that refuses what is beyond `limits` before allocating it.
  explicit ColorImageDecoder(CloudDecoderLimits limits = {});

  /**
   * @brief Decodes `size` bytes at `payload`.
   * @param pixels the image's bytes, rows of width x channels bytes without padding
   * @return the image's pixel layout
   * @throws CloudCodecError for a payload that is not one, of another version or layout,
   *         truncated, corrupt, beyond the limits, or that does not match its checksum; the
   *         outputs are then unspecified
   */
  ColorLayout decode(
    const std::uint8_t * payload, std::size_t size, std::uint32_t & width, std::uint32_t & height,
    std::vector<std::uint8_t> & pixels);

private:
  CloudDecoderLimits limits_;
  ZstdDecompressionContext context_;
  std::vector<std::uint8_t> code_;
};

}  // namespace tavrinox_camera_convertor
