// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "tavrinox_camera_convertor/codec/depth_source_copy.hpp"

#include <cstring>
#include <limits>
#include <stdexcept>
#include <string>

#include "tavrinox_camera_convertor/geometry/image.hpp"

namespace tavrinox_camera_convertor
{

void DepthSourceCopy::assign(
  const DepthPixels & depth, const CameraIntrinsics & intrinsics,
  const ExtrinsicTransform & extrinsic)
{
  std::uint16_t * const target = reset(depth.width(), depth.height(), intrinsics, extrinsic);
  if (depth.empty()) {
    return;
  }
  const std::size_t row_bytes = 2 * static_cast<std::size_t>(width_);
  for (std::uint32_t i = 0; i < height_; ++i) {
    std::memcpy(target + static_cast<std::size_t>(i) * width_, depth.row(i), row_bytes);
  }
}

void DepthSourceCopy::assign(const CloudSource & source)
{
  if (source.depth == nullptr) {
    throw std::invalid_argument(
            "DepthSourceCopy::assign: the source has no depth image (its cloud was not made "
            "this frame)");
  }
  if (source.distortion.bends()) {
    // The payload describes a pinhole camera; such a cloud travels as its points instead.
    throw std::invalid_argument(
            "DepthSourceCopy::assign: the source's lens bends the rays, which a depth payload "
            "cannot describe");
  }
  assign(*source.depth, source.intrinsics, source.extrinsic);
}

std::uint16_t * DepthSourceCopy::reset(
  std::uint32_t width, std::uint32_t height, const CameraIntrinsics & intrinsics,
  const ExtrinsicTransform & extrinsic)
{
  const bool empty = width == 0 || height == 0;
  if (!empty && width > std::numeric_limits<std::uint32_t>::max() / 2) {
    throw std::length_error(
            "a depth image row of " + std::to_string(width) + " pixels is longer than an image "
            "message's step can describe");
  }
  // An empty image keeps its stated size but owns no pixel.
  millimetres_.resize(empty ? 0 : static_cast<std::size_t>(width) * height);
  width_ = width;
  height_ = height;
  intrinsics_ = intrinsics;
  extrinsic_ = extrinsic;
  return millimetres_.data();
}

DepthPixels DepthSourceCopy::pixels() const
{
  ImageView view;
  view.width = width_;
  view.height = height_;
  view.encoding = "16UC1";
  view.is_bigendian = host_is_bigendian();
  view.step = millimetres_.empty() ? 0 : 2 * width_;
  view.data = reinterpret_cast<const std::uint8_t *>(millimetres_.data());
  view.size = millimetres_.size() * sizeof(std::uint16_t);
  // Packed host-order millimetres are read in place; the scratch is never touched.
  std::vector<std::uint16_t> unused;
  return DepthPixels(view, "copied", unused);
}

}  // namespace tavrinox_camera_convertor
