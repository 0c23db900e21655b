// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "tavrinox_camera_convertor/codec/compressed_depth.hpp"

#include <limits>
#include <stdexcept>
#include <string>

#include "content_digest.hpp"
#include "depth_code.hpp"

namespace tavrinox_camera_convertor
{

DepthCompressor::DepthCompressor(const ZstdTuning & tuning)
: context_(make_zstd_compression_context(tuning))
{
}

void DepthCompressor::compress(const DepthPixels & depth, CompressedDepth & out)
{
  if (!depth.empty() && depth.width() > std::numeric_limits<std::uint32_t>::max() / 2) {
    throw std::length_error(
            "a depth image row of " + std::to_string(depth.width()) + " pixels is longer than an "
            "image message's step can describe");
  }
  const std::size_t pixels =
    depth.empty() ? 0 : static_cast<std::size_t>(depth.width()) * depth.height();
  const auto bound = static_cast<std::size_t>(detail::depth_code_bound(pixels));
  if (code_.size() < bound) {
    code_.resize(bound);
  }
  const std::size_t code_size = detail::depth_to_code(depth, code_.data());
  out.width_ = depth.width();
  out.height_ = depth.height();
  out.digest_ = detail::digest_of(depth);
  out.frame_size_ = compress_zstd_frame(*context_, code_.data(), code_size, out.room_);
}

}  // namespace tavrinox_camera_convertor
