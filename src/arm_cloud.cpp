// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "tavrinox_camera_convertor/arm_cloud.hpp"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#include <xmmintrin.h>
#endif

#include "tavrinox_camera_convertor/cloud_encoding.hpp"
#include "tavrinox_camera_convertor/point_transform.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

std::size_t count_measured(const DepthPixels & depth)
{
  std::size_t count = 0;
  for (std::uint32_t i = 0; i < depth.height(); ++i) {
    const std::uint8_t * row = depth.row(i);
    // Counts pixels with depth; branch-free so the compiler can vectorise it.
    for (std::uint32_t j = 0; j < depth.width(); ++j) {
      count += DepthPixels::at(row, j) != 0;
    }
  }
  return count;
}

}  // namespace

std::size_t ArmCloudWriter::encode_row(
  const std::uint8_t * row, std::uint32_t width, float row_offset, const CameraIntrinsics & intrinsics,
  const ExtrinsicTransform & extrinsic, std::uint8_t * first_record)
{
  std::uint8_t * record = first_record;
  std::uint32_t j = 0;
#if defined(__SSE2__)
  // Four pixels at a time: the same IEEE operations in the same order as the scalar tail and
  // as pcl::transformPointCloud, x * c0 + (y * c1 + (z * c2 + c3)) per column of the matrix.
  // Every record is stored, but the cursor only moves past measured pixels.
  __m128 row_vector[4][4];
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 4; ++c) {
      row_vector[r][c] = _mm_set1_ps(extrinsic(r, c));
    }
  }
  const __m128 cx = _mm_set1_ps(intrinsics.cx);
  const __m128 fx = _mm_set1_ps(intrinsics.fx);
  const __m128 fy = _mm_set1_ps(intrinsics.fy);
  const __m128 offset = _mm_set1_ps(row_offset);
  __m128i column = _mm_setr_epi32(0, 1, 2, 3);
  for (; j + 4 <= width; j += 4) {
    const std::uint16_t d0 = DepthPixels::at(row, j);
    const std::uint16_t d1 = DepthPixels::at(row, j + 1);
    const std::uint16_t d2 = DepthPixels::at(row, j + 2);
    const std::uint16_t d3 = DepthPixels::at(row, j + 3);
    const __m128 z = _mm_setr_ps(metres_[d0], metres_[d1], metres_[d2], metres_[d3]);
    const __m128 x = _mm_div_ps(_mm_mul_ps(_mm_sub_ps(_mm_cvtepi32_ps(column), cx), z), fx);
    const __m128 y = _mm_div_ps(_mm_mul_ps(offset, z), fy);
    column = _mm_add_epi32(column, _mm_set1_epi32(4));
    __m128 out[4];
    for (int r = 0; r < 4; ++r) {
      out[r] = _mm_add_ps(
        _mm_mul_ps(x, row_vector[r][0]),
        _mm_add_ps(_mm_mul_ps(y, row_vector[r][1]), _mm_add_ps(_mm_mul_ps(z, row_vector[r][2]), row_vector[r][3])));
    }
    _MM_TRANSPOSE4_PS(out[0], out[1], out[2], out[3]);
    _mm_storeu_ps(reinterpret_cast<float *>(record), out[0]);
    record += kPointRecordBytes * (d0 != 0);
    _mm_storeu_ps(reinterpret_cast<float *>(record), out[1]);
    record += kPointRecordBytes * (d1 != 0);
    _mm_storeu_ps(reinterpret_cast<float *>(record), out[2]);
    record += kPointRecordBytes * (d2 != 0);
    _mm_storeu_ps(reinterpret_cast<float *>(record), out[3]);
    record += kPointRecordBytes * (d3 != 0);
  }
#endif
  const PointTransform transform(extrinsic);
  for (; j < width; ++j) {
    const std::uint16_t d = DepthPixels::at(row, j);
    if (d == 0) {
      continue;
    }
    const float z = metres_[d];
    transform.apply(
      back_project_coordinate(j, intrinsics.cx, z, intrinsics.fx), row_offset * z / intrinsics.fy, z, record);
    record += kPointRecordBytes;
  }
  return static_cast<std::size_t>(record - first_record) / kPointRecordBytes;
}

void ArmCloudWriter::write(
  const DepthPixels & depth, const CameraIntrinsics & intrinsics, const ExtrinsicTransform & extrinsic,
  pcl::PCLPointCloud2 & out, RecordObserver * observer)
{
  if (depth.empty()) {
    prepare_xyz_cloud(0, out);
    return;
  }
  // Counting first sizes the message exactly, so no record is ever moved or zero-filled twice.
  prepare_xyz_cloud(count_measured(depth), out);
  // The four-pixel loop stores every record and moves on only past measured pixels, so it may
  // write up to three records beyond a row's last one. Rows are therefore encoded straight into
  // the message while it has room for a whole row more, and the last ones through a small buffer.
  const std::size_t row_room = (static_cast<std::size_t>(depth.width()) + 4) * kPointRecordBytes;
  row_records_.resize(row_room);
  std::uint8_t * target = out.data.data();
  std::uint8_t * const end = target + out.data.size();
  for (std::uint32_t i = 0; i < depth.height(); ++i) {
    const float row_offset = static_cast<float>(i) - intrinsics.cy;
    const bool direct = static_cast<std::size_t>(end - target) >= row_room;
    std::uint8_t * const records = direct ? target : row_records_.data();
    const std::size_t count = encode_row(depth.row(i), depth.width(), row_offset, intrinsics, extrinsic, records);
    if (count == 0) {
      continue;
    }
    if (!direct) {
      std::memcpy(target, records, count * kPointRecordBytes);
    }
    // The observer reads the records while they are still in cache.
    if (observer != nullptr) {
      observer->observe(records, count);
    }
    target += count * kPointRecordBytes;
  }
}

}  // namespace tavrinox_camera_convertor
