// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// The ways to send a cloud that is the back-projection of a depth image, which the cloud codec
// benchmark compares: each encodes what a sender has and decodes it into the cloud again.
#pragma once

#include <pcl/PCLPointCloud2.h>

#include <cstdint>
#include <vector>

#include "depth_case.hpp"
#include "tavrinox_camera_convertor/codec/cloud_decoder.hpp"
#include "tavrinox_camera_convertor/codec/cloud_encoder.hpp"
#include "tavrinox_camera_convertor/codec/zstd_frame.hpp"
#include "tavrinox_camera_convertor/geometry/arm_cloud.hpp"
#include "tavrinox_camera_convertor/geometry/depth_pixels.hpp"

namespace tavrinox_camera_convertor::bench
{

/// The ways to send the cloud that are compared.
enum class Candidate
{
  cloud_zstd1,        ///< the cloud's own bytes, zstd level 1: what any cloud can have
  image_zstd1,        ///< the packed image, zstd level 1
  image_zstd3,        ///< the packed image, zstd level 3
  image_png1,         ///< 16-bit PNG through OpenCV, zlib level 1
  image_png3,         ///< 16-bit PNG through OpenCV, zlib level 3 (OpenCV's default)
  med_planes_zstd1,   ///< LOCO-I's median edge prediction, zig-zag, byte planes, zstd level 1
  v1_left_planes_zstd1,  ///< payload version 1's code: left neighbour, zig-zag, byte planes
  depth_payload,      ///< CloudEncoder's depth payload: the depth code, kDepthZstdTuning
};

/// Every candidate, in the order the tables list them.
inline constexpr Candidate kCandidates[] = {
  Candidate::cloud_zstd1, Candidate::image_zstd1, Candidate::image_zstd3, Candidate::image_png1,
  Candidate::image_png3, Candidate::med_planes_zstd1, Candidate::v1_left_planes_zstd1,
  Candidate::depth_payload};

/// The candidate the codec uses, marked in the tables.
inline constexpr Candidate kChosenCandidate = Candidate::depth_payload;

/// @brief The candidate's name in the tables, e.g. "image_png1".
const char * name_of(Candidate candidate);

/// What a candidate is handed: the depth image (also packed, as a kept copy of a source is),
/// its camera and the cloud that is its image.
struct CandidateSource
{
  const DepthPixels & depth;
  const std::vector<std::uint8_t> & packed;
  const DepthCase & camera;
  const pcl::PCLPointCloud2 & cloud;
};

/// Everything the candidates keep between runs, as a transport would.
struct CandidateWorkbench
{
  CloudEncoder encoder;
  CloudDecoder decoder;
  ZstdCompressionContext zstd_1 = make_zstd_compression_context(1);
  ZstdCompressionContext zstd_1_checked =
    make_zstd_compression_context(ZstdTuning{1, false, 0, 0, 0, true});
  ZstdCompressionContext zstd_3 = make_zstd_compression_context(3);
  ZstdDecompressionContext unzstd = make_zstd_decompression_context();
  ArmCloudWriter writer;
  std::vector<std::uint8_t> bytes;
  std::vector<std::uint8_t> planes;
  std::vector<std::uint16_t> millimetres;
  std::vector<std::uint16_t> scratch;
};

/// @brief The depth's rows one after the other, as a sender's kept copy holds them.
std::vector<std::uint8_t> packed_bytes(const DepthPixels & depth);

/// @brief What `candidate` sends for `source`, into `out`.
void encode(
  CandidateWorkbench & bench, Candidate candidate, const CandidateSource & source,
  std::vector<std::uint8_t> & out);

/// @brief The cloud a receiver of `in` from `candidate` makes, into `out`.
void decode(
  CandidateWorkbench & bench, Candidate candidate, const CandidateSource & source,
  const std::vector<std::uint8_t> & in, pcl::PCLPointCloud2 & out);

}  // namespace tavrinox_camera_convertor::bench
