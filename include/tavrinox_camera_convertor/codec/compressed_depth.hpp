// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "tavrinox_camera_convertor/codec/zstd_frame.hpp"
#include "tavrinox_camera_convertor/geometry/depth_pixels.hpp"

namespace tavrinox_camera_convertor
{

/**
 * zstd's settings for depth codes: Huffman-coded literals at a negative level, whose match
 * finder skips ahead over noise and still finds the runs of holes and flat surfaces, with a
 * table small enough to stay in the first-level cache. On noisy and camera-like 1280 x 720
 * depth it encodes in about 60 % of level 1's time, within 2 % of its bytes
 * (bench/cloud_codec_benchmark measures it against zstd's levels and a Huffman-only code).
 */
inline constexpr ZstdTuning kDepthZstdTuning{-10, true, 12, 7};

/**
 * @brief One depth image's pixels, compressed once, for as many payloads as carry them:
 *        write_depth_cloud_payload() and write_depth_image_payload() only put a header in front
 *        of the frame, so an image that several subtopics send is compressed once a frame.
 *
 * Filled by DepthCompressor; afterwards only read, so any number of threads may wrap it at once.
 */
class CompressedDepth
{
public:
  std::uint32_t width() const {return width_;}
  std::uint32_t height() const {return height_;}
  /// @brief XXH3-64 of the millimetres, little-endian, row after row: what a payload's
  ///        checksum covers besides its header.
  std::uint64_t digest() const {return digest_;}
  /// @brief The zstd frame of the image's depth code, which a payload ends with.
  const std::uint8_t * frame() const {return room_.data();}
  /// @brief The frame's bytes.
  std::size_t frame_size() const {return frame_size_;}

private:
  friend class DepthCompressor;

  std::uint32_t width_ = 0;
  std::uint32_t height_ = 0;
  std::uint64_t digest_ = 0;
  std::vector<std::uint8_t> room_;  ///< the frame, then room kept for larger ones
  std::size_t frame_size_ = 0;
};

/**
 * @brief Compresses 16-bit depth images into CompressedDepth: the expensive part of every
 *        depth payload. Keeps its zstd context and buffers, so a steady stream of same-sized
 *        images allocates nothing. One compressor serves one thread at a time.
 */
class DepthCompressor
{
public:
  /**
   * @brief A compressor whose frames are written with `tuning`; any tuning gives a frame every
   *        decoder reads.
   * @throws std::invalid_argument for a setting zstd does not have
   */
  explicit DepthCompressor(const ZstdTuning & tuning = kDepthZstdTuning);

  /**
   * @brief Compresses `depth` into `out`, replacing what it held and reusing its buffer.
   * @throws std::length_error for a non-empty image with a row longer than 2^32 - 1 bytes,
   *         which an image message cannot describe
   */
  void compress(const DepthPixels & depth, CompressedDepth & out);

private:
  ZstdCompressionContext context_;
  std::vector<std::uint8_t> code_;  ///< kept at its largest size, for the same reason
};

}  // namespace tavrinox_camera_convertor
