// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "tavrinox_camera_convertor/geometry/arm_cloud.hpp"

#include <cstring>
#include <optional>
#include <stdexcept>

#include "row_kernels.hpp"
#include "tavrinox_camera_convertor/geometry/cloud_encoding.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

std::size_t count_measured(const DepthPixels & depth)
{
  std::size_t count = 0;
  for (std::uint32_t i = 0; i < depth.height(); ++i) {
    const std::uint8_t * row = depth.row(i);
    // Counts pixels with depth; branch-free with a 32-bit sum so the compiler vectorises it.
    std::uint32_t in_row = 0;
    for (std::uint32_t j = 0; j < depth.width(); ++j) {
      in_row += DepthPixels::at(row, j) != 0;
    }
    count += in_row;
  }
  return count;
}

using RowKernel =
  std::size_t (*)(
  const detail::RowSource &, std::uint8_t *, const detail::RenderConstants *,
  detail::RowPoints &);

RowKernel row_kernel(InstructionSet set)
{
  switch (set) {
    case InstructionSet::avx2:
      return detail::encode_row_avx2;
    case InstructionSet::sse2:
      return detail::encode_row_sse2;
    case InstructionSet::scalar:
      break;
  }
  return detail::encode_row_scalar;
}

}  // namespace

ArmCloudWriter::ArmCloudWriter(InstructionSet instruction_set)
: instruction_set_(instruction_set)
{
  if (!is_supported(instruction_set)) {
    throw std::invalid_argument(
            "instruction set " + to_string(
              instruction_set) + " is not supported by this processor or build");
  }
}

detail::RowPoints ArmCloudWriter::row_points(std::uint32_t width)
{
  // Four arrays of a row's width rounded up to 8, each 32-byte aligned, and slack for aligning the
  // first.
  const std::size_t stride = (static_cast<std::size_t>(width) + 7) / 8 * 8;
  row_points_.resize(4 * stride + 8);
  float * first = row_points_.data();
  first += (32 - reinterpret_cast<std::uintptr_t>(first) % 32) % 32 / sizeof(float);
  return {first, first + stride, first + 2 * stride,
    reinterpret_cast<std::uint32_t *>(first + 3 * stride)};
}

void ArmCloudWriter::write(
  const DepthPixels & depth, const CameraIntrinsics & intrinsics,
  const ExtrinsicTransform & extrinsic,
  pcl::PCLPointCloud2 & out, const DepthRenderTarget * render, const PixelRays * rays)
{
  if (depth.empty()) {
    prepare_xyz_cloud(0, out);
    return;
  }
  // Counting first sizes the message exactly, so no record is ever moved or zero-filled twice.
  prepare_xyz_cloud(count_measured(depth), out);
  encode_rows(depth, intrinsics, extrinsic, out.data.data(), out.data.size(), render, rays);
}

void ArmCloudWriter::render(
  const DepthPixels & depth, const CameraIntrinsics & intrinsics,
  const ExtrinsicTransform & extrinsic,
  const DepthRenderTarget & render, const PixelRays * rays)
{
  if (!depth.empty()) {
    encode_rows(depth, intrinsics, extrinsic, nullptr, 0, &render, rays);
  }
}

void ArmCloudWriter::encode_rows(
  const DepthPixels & depth, const CameraIntrinsics & intrinsics,
  const ExtrinsicTransform & extrinsic,
  std::uint8_t * records, std::size_t record_bytes, const DepthRenderTarget * render,
  const PixelRays * rays)
{
  if (rays != nullptr && (rays->width() != depth.width() || rays->height() != depth.height())) {
    throw std::invalid_argument("pixel rays of another size than the depth image");
  }
  std::optional<detail::RenderConstants> target;
  if (render != nullptr) {
    target = detail::render_constants(*render);
  }
  const RowKernel encode_row = row_kernel(instruction_set_);
  // The vector loops store every record and move on only past measured pixels, so they may
  // write a few records beyond a row's last one. Rows are therefore encoded straight into the
  // message while it has room for a whole row more, and the last ones through a small buffer.
  // Records nobody keeps all go through that buffer, which stays in cache.
  const std::size_t row_room =
    (static_cast<std::size_t>(depth.width()) + detail::kRecordsPastRow) * kPointRecordBytes;
  row_records_.resize(row_room);
  detail::RowPoints points = row_points(depth.width());
  std::uint8_t * target_record = records;
  std::uint8_t * const end = records + record_bytes;
  for (std::uint32_t i = 0; i < depth.height(); ++i) {
    const detail::RowSource row{
      depth.row(i), depth.width(), static_cast<float>(i) - intrinsics.cy, intrinsics, extrinsic,
      metres_, rays != nullptr ? rays->x_row(i) : nullptr,
      rays != nullptr ? rays->y_row(i) : nullptr};
    const bool direct = records != nullptr &&
      static_cast<std::size_t>(end - target_record) >= row_room;
    std::uint8_t * const row_target = direct ? target_record : row_records_.data();
    const std::size_t count = encode_row(row, row_target, target ? &*target : nullptr, points);
    if (records == nullptr) {
      continue;
    }
    // A message with no records at all may have no buffer to copy into.
    if (!direct && count != 0) {
      std::memcpy(target_record, row_target, count * kPointRecordBytes);
    }
    target_record += count * kPointRecordBytes;
  }
}

}  // namespace tavrinox_camera_convertor
