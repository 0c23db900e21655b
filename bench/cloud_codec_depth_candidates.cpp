// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "cloud_codec_depth_candidates.hpp"

#include <cstring>

#include "difference_planes.hpp"
#include "tavrinox_camera_convertor/codec/compressed_depth.hpp"

namespace tavrinox_camera_convertor::bench
{
namespace
{

ZstdTuning tuning_of(DepthCodeCandidate candidate)
{
  ZstdTuning tuning;
  switch (candidate) {
    case DepthCodeCandidate::code_zstd_m1:
      return ZstdTuning{-1, true};
    case DepthCodeCandidate::code_zstd_m3:
      return ZstdTuning{-3, true};
    case DepthCodeCandidate::code_tuned:
      return kDepthZstdTuning;
    case DepthCodeCandidate::code_zstd_m3_tuned:
      tuning = kDepthZstdTuning;
      tuning.level = -3;
      return tuning;
    case DepthCodeCandidate::code_huffman_only:
      return ZstdTuning{-1000, true};
    case DepthCodeCandidate::code_zstd1_2_threads:
      tuning.workers = 2;
      return tuning;
    default:
      return tuning;  // level 1, zstd's choice of the rest
  }
}

bool in_planes(DepthCodeCandidate candidate)
{
  return candidate == DepthCodeCandidate::v1_left_planes_zstd1 ||
         candidate == DepthCodeCandidate::above_planes_zstd1;
}

Neighbour neighbour_of(DepthCodeCandidate candidate)
{
  return candidate == DepthCodeCandidate::v1_left_planes_zstd1 ? Neighbour::left :
         Neighbour::above;
}

}  // namespace

const char * name_of(DepthCodeCandidate candidate)
{
  switch (candidate) {
    case DepthCodeCandidate::v1_left_planes_zstd1:
      return "v1_left_planes_zstd1";
    case DepthCodeCandidate::above_planes_zstd1:
      return "above_planes_zstd1";
    case DepthCodeCandidate::code_zstd1:
      return "code_zstd1";
    case DepthCodeCandidate::code_zstd_m1:
      return "code_zstd-1_huffman";
    case DepthCodeCandidate::code_zstd_m3:
      return "code_zstd-3_huffman";
    case DepthCodeCandidate::code_zstd_m3_tuned:
      return "code_zstd-3_h12_m7";
    case DepthCodeCandidate::code_tuned:
      return "code_zstd-10_h12_m7";
    case DepthCodeCandidate::code_huffman_only:
      return "code_huffman_only";
    case DepthCodeCandidate::code_zstd1_2_threads:
      break;
  }
  return "code_zstd1_2_threads";
}

DepthCodeWorkbench::DepthCodeWorkbench(DepthCodeCandidate candidate)
: candidate_(candidate), encoder_(tuning_of(candidate)),
  zstd_(
    make_zstd_compression_context(
      ZstdTuning {1, false, 0, 0, 0, candidate == DepthCodeCandidate::v1_left_planes_zstd1}))
{
}

void DepthCodeWorkbench::encode(const DepthPixels & depth, std::vector<std::uint8_t> & out)
{
  if (!in_planes(candidate_)) {
    encoder_.encode(depth, out);
    return;
  }
  // A sender's kept copy holds packed rows; the copy is part of the candidate's work.
  const std::size_t width = depth.width();
  packed_.resize(width * depth.height());
  for (std::uint32_t i = 0; i < depth.height(); ++i) {
    std::memcpy(packed_.data() + i * width, depth.row(i), 2 * width);
  }
  planes_.resize(2 * packed_.size());
  difference_planes(
    packed_.data(), width, depth.height(), neighbour_of(candidate_),
    planes_.data());
  out.clear();
  append_zstd_frame(*zstd_, planes_.data(), planes_.size(), out);
}

void DepthCodeWorkbench::decode(
  const std::vector<std::uint8_t> & in, std::uint32_t width, std::uint32_t height,
  std::vector<std::uint16_t> & millimetres)
{
  if (!in_planes(candidate_)) {
    std::uint32_t decoded_width = 0;
    std::uint32_t decoded_height = 0;
    decoder_.decode(in.data(), in.size(), decoded_width, decoded_height, millimetres);
    return;
  }
  const std::size_t pixels = static_cast<std::size_t>(width) * height;
  decompress_zstd_frame(*unzstd_, in.data(), in.size(), 2 * pixels, "planes", planes_);
  millimetres.resize(pixels);
  difference_planes_depth(
    planes_.data(), width, height, neighbour_of(candidate_), millimetres.data());
}

}  // namespace tavrinox_camera_convertor::bench
