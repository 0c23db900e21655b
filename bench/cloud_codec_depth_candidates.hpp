// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// The ways to code a depth image's pixels, which the cloud codec benchmark compares: each
// encodes what a sender has (the image's rows) and decodes the bytes into millimetres again.
// The depth payloads differ from each other only by the few bytes of header before the frame.
#pragma once

#include <cstdint>
#include <vector>

#include "tavrinox_camera_convertor/codec/depth_image_codec.hpp"
#include "tavrinox_camera_convertor/codec/zstd_frame.hpp"
#include "tavrinox_camera_convertor/geometry/depth_pixels.hpp"

namespace tavrinox_camera_convertor::bench
{

/// The depth codes that are compared.
enum class DepthCodeCandidate
{
  v1_left_planes_zstd1,  ///< payload version 1: left differences in byte planes, zstd level 1
                         ///< with zstd's checksum
  above_planes_zstd1,    ///< differences from the row above in byte planes, zstd level 1
  code_zstd1,            ///< the codec's depth code (row above, escapes), zstd level 1
  code_zstd_m1,          ///< the same, level -1 with Huffman-coded literals
  code_zstd_m3,          ///< the same, level -3 with Huffman-coded literals
  code_zstd_m3_tuned,    ///< kDepthZstdTuning at level -3
  code_tuned,            ///< the codec's: kDepthZstdTuning
  code_huffman_only,     ///< level -1000 (hardly a match searched for), Huffman-coded literals
  code_zstd1_2_threads,  ///< code_zstd1 with two zstd threads of its own: not one core
};

/// Every candidate, in the order the tables list them.
inline constexpr DepthCodeCandidate kDepthCodeCandidates[] = {
  DepthCodeCandidate::v1_left_planes_zstd1, DepthCodeCandidate::above_planes_zstd1,
  DepthCodeCandidate::code_zstd1, DepthCodeCandidate::code_zstd_m1,
  DepthCodeCandidate::code_zstd_m3, DepthCodeCandidate::code_zstd_m3_tuned,
  DepthCodeCandidate::code_tuned, DepthCodeCandidate::code_huffman_only,
  DepthCodeCandidate::code_zstd1_2_threads};

/// The candidate the codec uses, marked in the tables.
inline constexpr DepthCodeCandidate kChosenDepthCode = DepthCodeCandidate::code_tuned;

/// @brief The candidate's name in the tables, e.g. "code_tuned".
const char * name_of(DepthCodeCandidate candidate);

/// Everything one candidate keeps between runs, as a transport would.
class DepthCodeWorkbench
{
public:
  explicit DepthCodeWorkbench(DepthCodeCandidate candidate);

  /// @brief What the candidate sends for `depth`, into `out`.
  void encode(const DepthPixels & depth, std::vector<std::uint8_t> & out);

  /// @brief The millimetres, packed row-major, a receiver of `in` makes.
  void decode(
    const std::vector<std::uint8_t> & in, std::uint32_t width, std::uint32_t height,
    std::vector<std::uint16_t> & millimetres);

private:
  DepthCodeCandidate candidate_;
  DepthImageEncoder encoder_;
  DepthImageDecoder decoder_;
  ZstdCompressionContext zstd_;
  ZstdDecompressionContext unzstd_ = make_zstd_decompression_context();
  std::vector<std::uint16_t> packed_;
  std::vector<std::uint8_t> planes_;
};

}  // namespace tavrinox_camera_convertor::bench
