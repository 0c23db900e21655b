// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "row_kernels.hpp"

#if defined(__SSE2__)
#include <emmintrin.h>
#include <xmmintrin.h>
#endif

#include <stdexcept>

namespace tavrinox_camera_convertor::detail
{

#if defined(__SSE2__)
namespace
{

/// render_point for four points, `valid` giving by bit which of them exist.
inline void render_four(__m128 x, __m128 y, __m128 z, int valid, const RenderConstants & t)
{
  __m128 camera[3];
  for (int r = 0; r < 3; ++r) {
    camera[r] = _mm_add_ps(
      _mm_add_ps(
        _mm_add_ps(_mm_mul_ps(_mm_set1_ps(t.m[r][0]), x), _mm_mul_ps(_mm_set1_ps(t.m[r][1]), y)),
        _mm_mul_ps(_mm_set1_ps(t.m[r][2]), z)),
      _mm_set1_ps(t.m[r][3]));
  }
  const __m128 depth = _mm_mul_ps(camera[2], _mm_set1_ps(1000.0f));
  const __m128 depth_fits =
    _mm_and_ps(
    _mm_cmpgt_ps(camera[2], _mm_setzero_ps()),
    _mm_cmplt_ps(depth, _mm_set1_ps(65536.0f)));
  const __m128i millimetres = _mm_cvttps_epi32(_mm_and_ps(depth_fits, depth));
  const __m128 u = _mm_add_ps(
    _mm_div_ps(
      _mm_mul_ps(
        _mm_set1_ps(
          t.fx), camera[0]), camera[2]), _mm_set1_ps(t.cx));
  const __m128 v = _mm_add_ps(
    _mm_div_ps(
      _mm_mul_ps(
        _mm_set1_ps(
          t.fy), camera[1]), camera[2]), _mm_set1_ps(t.cy));
  // Truncation toward zero with NaN as 0, like saturating_trunc_to_int32 wherever the answer can
  // be inside an image: values beyond int32 give the processor's INT32_MIN, outside any image as
  // the saturated bound would be.
  __m128i index[2];
  const __m128 coordinates[2] = {u, v};
  for (int i = 0; i < 2; ++i) {
    index[i] = _mm_andnot_si128(
      _mm_castps_si128(_mm_cmpunord_ps(coordinates[i], coordinates[i])),
      _mm_cvttps_epi32(coordinates[i]));
  }
  // Signed comparisons: indices beyond int32 are negative, the bounds are clamped below 2^31.
  const __m128i width =
    _mm_set1_epi32(static_cast<std::int32_t>(std::min<std::uint32_t>(t.width, INT32_MAX)));
  const __m128i height =
    _mm_set1_epi32(static_cast<std::int32_t>(std::min<std::uint32_t>(t.height, INT32_MAX)));
  const __m128i minus_one = _mm_set1_epi32(-1);
  const __m128i inside = _mm_and_si128(
    _mm_and_si128(_mm_cmpgt_epi32(index[0], minus_one), _mm_cmplt_epi32(index[0], width)),
    _mm_and_si128(_mm_cmpgt_epi32(index[1], minus_one), _mm_cmplt_epi32(index[1], height)));
  const __m128i writes = _mm_andnot_si128(
    _mm_cmpeq_epi32(millimetres, _mm_setzero_si128()),
    _mm_and_si128(inside, _mm_castps_si128(depth_fits)));
  int lanes = _mm_movemask_ps(_mm_castsi128_ps(writes)) & valid;
  if (lanes == 0) {
    return;
  }
  alignas(16) std::int32_t columns[4], rows[4], values[4];
  _mm_store_si128(reinterpret_cast<__m128i *>(columns), index[0]);
  _mm_store_si128(reinterpret_cast<__m128i *>(rows), index[1]);
  _mm_store_si128(reinterpret_cast<__m128i *>(values), millimetres);
  // Lane order is cloud order, so where points meet the later one keeps the pixel.
  for (; lanes != 0; lanes &= lanes - 1) {
    const int k = __builtin_ctz(static_cast<unsigned>(lanes));
    const std::uint32_t column = static_cast<std::uint32_t>(columns[k]);
    const std::size_t row = static_cast<std::size_t>(rows[k]);
    const bool hole = t.hole_words == nullptr ||
      ((t.hole_words[row * t.hole_words_per_row + column / 32] >> (column % 32)) & 1u) != 0;
    if (!hole) {
      continue;
    }
    const std::uint16_t millimetres_k = static_cast<std::uint16_t>(values[k]);
    std::memcpy(t.pixels + row * t.step + 2 * static_cast<std::size_t>(column), &millimetres_k, 2);
  }
}

}  // namespace

std::size_t encode_row_sse2(
  const RowSource & row, std::uint8_t * first_record, const RenderConstants * target,
  RowPoints & points)
{
  std::uint8_t * record = first_record;
  // The same IEEE operations in the same order as the scalar pixels and as
  // pcl::transformPointCloud, x * c0 + (y * c1 + (z * c2 + c3)) per column of the matrix.
  __m128 matrix[4][4];
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 4; ++c) {
      matrix[r][c] = _mm_set1_ps(row.extrinsic(r, c));
    }
  }
  const __m128 cx = _mm_set1_ps(row.intrinsics.cx);
  const __m128 fx = _mm_set1_ps(row.intrinsics.fx);
  const __m128 fy = _mm_set1_ps(row.intrinsics.fy);
  const __m128 offset = _mm_set1_ps(row.row_offset);
  __m128i column = _mm_setr_epi32(0, 1, 2, 3);
  std::uint32_t j = 0;
  for (; j + 4 <= row.width; j += 4) {
    const std::uint16_t d[4] = {
      DepthPixels::at(row.pixels, j), DepthPixels::at(row.pixels, j + 1), DepthPixels::at(
        row.pixels, j + 2),
      DepthPixels::at(row.pixels, j + 3)};
    const __m128 z =
      _mm_setr_ps(row.metres[d[0]], row.metres[d[1]], row.metres[d[2]], row.metres[d[3]]);
    __m128 x;
    __m128 y;
    if (row.ray_x != nullptr) {
      x = _mm_mul_ps(_mm_loadu_ps(row.ray_x + j), z);
      y = _mm_mul_ps(_mm_loadu_ps(row.ray_y + j), z);
    } else {
      x = _mm_div_ps(_mm_mul_ps(_mm_sub_ps(_mm_cvtepi32_ps(column), cx), z), fx);
      y = _mm_div_ps(_mm_mul_ps(offset, z), fy);
    }
    column = _mm_add_epi32(column, _mm_set1_epi32(4));
    __m128 out[4];
    for (int r = 0; r < 4; ++r) {
      out[r] = _mm_add_ps(
        _mm_mul_ps(x, matrix[r][0]),
        _mm_add_ps(
          _mm_mul_ps(y, matrix[r][1]),
          _mm_add_ps(_mm_mul_ps(z, matrix[r][2]), matrix[r][3])));
    }
    if (target != nullptr) {
      _mm_store_ps(points.x + j, out[0]);
      _mm_store_ps(points.y + j, out[1]);
      _mm_store_ps(points.z + j, out[2]);
      points.measured[j / 4] = (d[0] != 0) | (d[1] != 0) << 1 | (d[2] != 0) << 2 | (d[3] != 0) << 3;
    }
    _MM_TRANSPOSE4_PS(out[0], out[1], out[2], out[3]);
    // Every record is stored, but the cursor only moves past measured pixels.
    for (int k = 0; k < 4; ++k) {
      _mm_storeu_ps(reinterpret_cast<float *>(record), out[k]);
      record += kPointRecordBytes * (d[k] != 0);
    }
  }
  const std::size_t vector_count = static_cast<std::size_t>(record - first_record) /
    kPointRecordBytes;
  if (target == nullptr) {
    return vector_count + encode_pixels_scalar(row, j, record, nullptr);
  }
  // Rendered in a pass of its own, which keeps both loops short enough for the processor to
  // overlap their divisions across iterations.
  for (std::uint32_t k = 0; k < j; k += 4) {
    const int valid = static_cast<int>(points.measured[k / 4]);
    if (valid != 0 && target->lens != nullptr) {
      // Through a lens one point at a time, in the scalar loop's arithmetic.
      for (int lane = 0; lane < 4; ++lane) {
        if ((valid >> lane) & 1) {
          render_point(points.x[k + lane], points.y[k + lane], points.z[k + lane], *target);
        }
      }
    } else if (valid != 0) {
      render_four(
        _mm_load_ps(points.x + k), _mm_load_ps(points.y + k), _mm_load_ps(
          points.z + k), valid, *target);
    }
  }
  return vector_count + encode_pixels_scalar(row, j, record, target);
}

#else

std::size_t encode_row_sse2(const RowSource &, std::uint8_t *, const RenderConstants *, RowPoints &)
{
  throw std::logic_error("encode_row_sse2 called in a build without SSE2");
}

#endif

}  // namespace tavrinox_camera_convertor::detail
