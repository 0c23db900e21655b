// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "row_kernels.hpp"
#include "tavrinox_camera_convertor/geometry/hole_mask.hpp"
#include "tavrinox_camera_convertor/geometry/point_transform.hpp"

namespace tavrinox_camera_convertor::detail
{

RenderConstants render_constants(const DepthRenderTarget & target)
{
  RenderConstants constants{};
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 4; ++c) {
      constants.m[r][c] = target.arm_to_camera(r, c);
    }
  }
  constants.fx = target.intrinsics.fx;
  constants.fy = target.intrinsics.fy;
  constants.cx = target.intrinsics.cx;
  constants.cy = target.intrinsics.cy;
  constants.pixels = target.image.data.data();
  constants.step = target.image.step;
  constants.width = target.image.width;
  constants.height = target.image.height;
  if (target.holes != nullptr) {
    constants.hole_words = target.holes->words();
    constants.hole_words_per_row = target.holes->words_per_row();
  }
  constants.lens =
    target.lens != nullptr && target.lens->bends() ? target.lens : nullptr;
  if (constants.lens != nullptr) {
    for (int i = 0; i < 8; ++i) {
      constants.lens_k[i] = static_cast<float>(constants.lens->coefficients[i]);
    }
  }
  return constants;
}

std::size_t encode_pixels_scalar(
  const RowSource & row, std::uint32_t first, std::uint8_t * record, const RenderConstants * target)
{
  const PointTransform transform(row.extrinsic);
  const CameraIntrinsics & k = row.intrinsics;
  std::size_t count = 0;
  for (std::uint32_t j = first; j < row.width; ++j) {
    const std::uint16_t d = DepthPixels::at(row.pixels, j);
    if (d == 0) {
      continue;
    }
    const float z = row.metres[d];
    if (row.ray_x != nullptr) {
      transform.apply(row.ray_x[j] * z, row.ray_y[j] * z, z, record);
    } else {
      transform.apply(
        back_project_coordinate(j, k.cx, z, k.fx), row.row_offset * z / k.fy, z,
        record);
    }
    if (target != nullptr) {
      float point[3];
      std::memcpy(point, record, sizeof point);
      render_point(point[0], point[1], point[2], *target);
    }
    record += kPointRecordBytes;
    ++count;
  }
  return count;
}

std::size_t encode_row_scalar(
  const RowSource & row, std::uint8_t * first_record, const RenderConstants * target, RowPoints &)
{
  return encode_pixels_scalar(row, 0, first_record, target);
}

}  // namespace tavrinox_camera_convertor::detail
