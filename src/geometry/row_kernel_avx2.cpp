// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// Compiled for every x86-64 processor; only the functions marked below use AVX2, and they run
// only where the processor reports it.
#include <algorithm>
#include <stdexcept>

#include "row_kernels.hpp"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define TAVRINOX_HAS_AVX2_KERNEL 1
#include <immintrin.h>
#define TAVRINOX_AVX2 __attribute__((target("avx2")))
// Inlined into the loop, so its constants stay in registers instead of being spilled around a call.
#define TAVRINOX_AVX2_INLINE inline __attribute__((always_inline, target("avx2")))
#endif

namespace tavrinox_camera_convertor::detail
{

#if defined(TAVRINOX_HAS_AVX2_KERNEL)
namespace
{

/// Eight arm-frame points as the rendering reads them.
struct EightPoints
{
  __m256 x, y, z;
  __m256i valid;  ///< all ones where the pixel was measured
};

/// Truncation toward zero with NaN as 0, like saturating_trunc_to_int32 wherever the answer can be
/// inside an image: values beyond int32 give the processor's INT32_MIN, outside any image as the
/// saturated bound would be.
TAVRINOX_AVX2_INLINE __m256i to_index(__m256 value)
{
  return _mm256_andnot_si256(
    _mm256_castps_si256(_mm256_cmp_ps(value, value, _CMP_UNORD_Q)), _mm256_cvttps_epi32(value));
}

/// render_point for eight points; the hole test gathers the mask words of the lanes that write.
TAVRINOX_AVX2_INLINE void render_eight(const EightPoints & p, const RenderConstants & t)
{
  __m256 camera[3];
  for (int r = 0; r < 3; ++r) {
    camera[r] = _mm256_add_ps(
      _mm256_add_ps(
        _mm256_add_ps(
          _mm256_mul_ps(_mm256_set1_ps(t.m[r][0]), p.x),
          _mm256_mul_ps(_mm256_set1_ps(t.m[r][1]), p.y)),
        _mm256_mul_ps(_mm256_set1_ps(t.m[r][2]), p.z)),
      _mm256_set1_ps(t.m[r][3]));
  }
  const __m256 depth = _mm256_mul_ps(camera[2], _mm256_set1_ps(1000.0f));
  __m256 u;
  __m256 v;
  if (t.lens == nullptr) {
    u = _mm256_add_ps(
      _mm256_div_ps(_mm256_mul_ps(_mm256_set1_ps(t.fx), camera[0]), camera[2]),
      _mm256_set1_ps(t.cx));
    v = _mm256_add_ps(
      _mm256_div_ps(_mm256_mul_ps(_mm256_set1_ps(t.fy), camera[1]), camera[2]),
      _mm256_set1_ps(t.cy));
  } else {
    // distort_normalised<float>'s polynomial lens, operation for operation.
    __m256 k[8];
    for (int i = 0; i < 8; ++i) {
      k[i] = _mm256_set1_ps(t.lens_k[i]);
    }
    const __m256 one = _mm256_set1_ps(1.0f);
    const __m256 two = _mm256_set1_ps(2.0f);
    const __m256 inverse_z = _mm256_div_ps(one, camera[2]);
    const __m256 x = _mm256_mul_ps(camera[0], inverse_z);
    const __m256 y = _mm256_mul_ps(camera[1], inverse_z);
    const __m256 r2 = _mm256_add_ps(_mm256_mul_ps(x, x), _mm256_mul_ps(y, y));
    const __m256 radial = _mm256_div_ps(
      _mm256_add_ps(
        one, _mm256_mul_ps(
          r2, _mm256_add_ps(
            k[0], _mm256_mul_ps(r2, _mm256_add_ps(k[1], _mm256_mul_ps(r2, k[4])))))),
      _mm256_add_ps(
        one, _mm256_mul_ps(
          r2, _mm256_add_ps(
            k[5], _mm256_mul_ps(r2, _mm256_add_ps(k[6], _mm256_mul_ps(r2, k[7])))))));
    const __m256 xy = _mm256_mul_ps(_mm256_mul_ps(two, x), y);
    const __m256 distorted_x = _mm256_add_ps(
      _mm256_add_ps(_mm256_mul_ps(x, radial), _mm256_mul_ps(k[2], xy)),
      _mm256_mul_ps(k[3], _mm256_add_ps(r2, _mm256_mul_ps(_mm256_mul_ps(two, x), x))));
    const __m256 distorted_y = _mm256_add_ps(
      _mm256_add_ps(
        _mm256_mul_ps(y, radial),
        _mm256_mul_ps(k[2], _mm256_add_ps(r2, _mm256_mul_ps(_mm256_mul_ps(two, y), y)))),
      _mm256_mul_ps(k[3], xy));
    u = _mm256_add_ps(_mm256_mul_ps(_mm256_set1_ps(t.fx), distorted_x), _mm256_set1_ps(t.cx));
    v = _mm256_add_ps(_mm256_mul_ps(_mm256_set1_ps(t.fy), distorted_y), _mm256_set1_ps(t.cy));
  }
  const __m256 depth_fits = _mm256_and_ps(
    _mm256_cmp_ps(camera[2], _mm256_setzero_ps(), _CMP_GT_OQ),
    _mm256_cmp_ps(depth, _mm256_set1_ps(65536.0f), _CMP_LT_OQ));
  const __m256i millimetres = _mm256_cvttps_epi32(_mm256_and_ps(depth_fits, depth));
  const __m256i column = to_index(u);
  const __m256i row = to_index(v);
  // Signed comparisons: indices beyond int32 are negative, the bounds are clamped below 2^31.
  const __m256i width =
    _mm256_set1_epi32(static_cast<std::int32_t>(std::min<std::uint32_t>(t.width, INT32_MAX)));
  const __m256i height =
    _mm256_set1_epi32(static_cast<std::int32_t>(std::min<std::uint32_t>(t.height, INT32_MAX)));
  const __m256i minus_one = _mm256_set1_epi32(-1);
  const __m256i inside = _mm256_and_si256(
    _mm256_and_si256(_mm256_cmpgt_epi32(column, minus_one), _mm256_cmpgt_epi32(width, column)),
    _mm256_and_si256(_mm256_cmpgt_epi32(row, minus_one), _mm256_cmpgt_epi32(height, row)));
  __m256i writes = _mm256_andnot_si256(
    _mm256_cmpeq_epi32(millimetres, _mm256_setzero_si256()),
    _mm256_and_si256(_mm256_and_si256(inside, _mm256_castps_si256(depth_fits)), p.valid));
  if (_mm256_testz_si256(writes, writes)) {
    return;
  }
  if (t.hole_words != nullptr) {
    // Only lanes that write read the mask, so no lane reads outside it.
    const __m256i word_index = _mm256_add_epi32(
      _mm256_mullo_epi32(row, _mm256_set1_epi32(static_cast<std::int32_t>(t.hole_words_per_row))),
      _mm256_srli_epi32(column, 5));
    const __m256i words = _mm256_mask_i32gather_epi32(
      _mm256_setzero_si256(), reinterpret_cast<const int *>(t.hole_words), word_index, writes, 4);
    const __m256i bits = _mm256_and_si256(
      _mm256_srlv_epi32(words, _mm256_and_si256(column, _mm256_set1_epi32(31))), _mm256_set1_epi32(
        1));
    writes = _mm256_and_si256(writes, _mm256_cmpeq_epi32(bits, _mm256_set1_epi32(1)));
  }
  unsigned lanes = static_cast<unsigned>(_mm256_movemask_ps(_mm256_castsi256_ps(writes)));
  if (lanes == 0) {
    return;
  }
  alignas(32) std::int32_t columns[8], rows[8], values[8];
  _mm256_store_si256(reinterpret_cast<__m256i *>(columns), column);
  _mm256_store_si256(reinterpret_cast<__m256i *>(rows), row);
  _mm256_store_si256(reinterpret_cast<__m256i *>(values), millimetres);
  // Lane order is cloud order, so where points meet the later one keeps the pixel.
  for (; lanes != 0; lanes &= lanes - 1) {
    const int k = __builtin_ctz(lanes);
    const std::uint16_t millimetres_k = static_cast<std::uint16_t>(values[k]);
    std::memcpy(
      t.pixels + static_cast<std::size_t>(rows[k]) * t.step + 2 *
      static_cast<std::size_t>(columns[k]),
      &millimetres_k, 2);
  }
}

}  // namespace

TAVRINOX_AVX2 std::size_t encode_row_avx2(
  const RowSource & row, std::uint8_t * first_record, const RenderConstants * target,
  RowPoints & points)
{
  std::uint8_t * record = first_record;
  // The same IEEE operations in the same order as the scalar pixels and as
  // pcl::transformPointCloud, x * c0 + (y * c1 + (z * c2 + c3)) per column of the matrix.
  __m256 matrix[4][4];
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 4; ++c) {
      matrix[r][c] = _mm256_set1_ps(row.extrinsic(r, c));
    }
  }
  const __m256 cx = _mm256_set1_ps(row.intrinsics.cx);
  const __m256 fx = _mm256_set1_ps(row.intrinsics.fx);
  const __m256 fy = _mm256_set1_ps(row.intrinsics.fy);
  const __m256 offset = _mm256_set1_ps(row.row_offset);
  const __m256d per_millimetre = _mm256_set1_pd(0.001);
  __m256i column = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
  std::uint32_t j = 0;
  for (; j + 8 <= row.width; j += 8) {
    const auto * eight_pixels = reinterpret_cast<const __m128i *>(row.pixels + 2 * std::size_t{j});
    const __m256i d = _mm256_cvtepu16_epi32(_mm_loadu_si128(eight_pixels));
    // The metres of MillimetreTable: d * 0.001 in double rounds to the same float as d / 1000.
    const __m256 z = _mm256_set_m128(
      _mm256_cvtpd_ps(
        _mm256_mul_pd(
          _mm256_cvtepi32_pd(_mm256_extracti128_si256(d, 1)),
          per_millimetre)),
      _mm256_cvtpd_ps(
        _mm256_mul_pd(
          _mm256_cvtepi32_pd(_mm256_castsi256_si128(d)),
          per_millimetre)));
    __m256 x;
    __m256 y;
    if (row.ray_x != nullptr) {
      x = _mm256_mul_ps(_mm256_loadu_ps(row.ray_x + j), z);
      y = _mm256_mul_ps(_mm256_loadu_ps(row.ray_y + j), z);
    } else {
      x = _mm256_div_ps(_mm256_mul_ps(_mm256_sub_ps(_mm256_cvtepi32_ps(column), cx), z), fx);
      y = _mm256_div_ps(_mm256_mul_ps(offset, z), fy);
    }
    column = _mm256_add_epi32(column, _mm256_set1_epi32(8));
    __m256 out[4];
    for (int r = 0; r < 4; ++r) {
      out[r] = _mm256_add_ps(
        _mm256_mul_ps(x, matrix[r][0]),
        _mm256_add_ps(
          _mm256_mul_ps(y, matrix[r][1]),
          _mm256_add_ps(_mm256_mul_ps(z, matrix[r][2]), matrix[r][3])));
    }
    const __m256i measured = _mm256_xor_si256(
      _mm256_cmpeq_epi32(
        d,
        _mm256_setzero_si256()), _mm256_set1_epi32(-1));
    if (target != nullptr) {
      _mm256_store_ps(points.x + j, out[0]);
      _mm256_store_ps(points.y + j, out[1]);
      _mm256_store_ps(points.z + j, out[2]);
      _mm256_store_si256(reinterpret_cast<__m256i *>(points.measured + j), measured);
    }
    // Within each 128-bit half, a 4 x 4 transpose: records 0-3 in the low halves, 4-7 in the high.
    const __m256 xy_low = _mm256_unpacklo_ps(out[0], out[1]);
    const __m256 xy_high = _mm256_unpackhi_ps(out[0], out[1]);
    const __m256 zw_low = _mm256_unpacklo_ps(out[2], out[3]);
    const __m256 zw_high = _mm256_unpackhi_ps(out[2], out[3]);
    const __m256 pairs[4] = {
      _mm256_shuffle_ps(xy_low, zw_low, _MM_SHUFFLE(1, 0, 1, 0)),
      _mm256_shuffle_ps(xy_low, zw_low, _MM_SHUFFLE(3, 2, 3, 2)),
      _mm256_shuffle_ps(xy_high, zw_high, _MM_SHUFFLE(1, 0, 1, 0)),
      _mm256_shuffle_ps(xy_high, zw_high, _MM_SHUFFLE(3, 2, 3, 2))};
    const unsigned stored =
      static_cast<unsigned>(_mm256_movemask_ps(_mm256_castsi256_ps(measured)));
    // Every record is stored, but the cursor only moves past measured pixels.
    for (int k = 0; k < 4; ++k) {
      _mm_storeu_ps(reinterpret_cast<float *>(record), _mm256_castps256_ps128(pairs[k]));
      record += kPointRecordBytes * ((stored >> k) & 1u);
    }
    for (int k = 0; k < 4; ++k) {
      _mm_storeu_ps(reinterpret_cast<float *>(record), _mm256_extractf128_ps(pairs[k], 1));
      record += kPointRecordBytes * ((stored >> (k + 4)) & 1u);
    }
  }
  const std::size_t vector_count = static_cast<std::size_t>(record - first_record) /
    kPointRecordBytes;
  if (target == nullptr) {
    return vector_count + encode_pixels_scalar(row, j, record, nullptr);
  }
  // Rendered in a pass of its own: its chain of divisions and the mask gather would otherwise
  // follow those of the encoding in every iteration and leave the processor waiting.
  if (target->lens != nullptr && target->lens->model == DistortionModel::equidistant) {
    // The fisheye model's arctangent has no vector instruction: one point at a time.
    for (std::uint32_t k = 0; k < j; ++k) {
      if (points.measured[k] != 0) {
        render_point(points.x[k], points.y[k], points.z[k], *target);
      }
    }
    return vector_count + encode_pixels_scalar(row, j, record, target);
  }
  for (std::uint32_t k = 0; k < j; k += 8) {
    render_eight(
      EightPoints{
        _mm256_load_ps(points.x + k), _mm256_load_ps(points.y + k), _mm256_load_ps(points.z + k),
        _mm256_load_si256(reinterpret_cast<const __m256i *>(points.measured + k))},
      *target);
  }
  return vector_count + encode_pixels_scalar(row, j, record, target);
}

#else

std::size_t encode_row_avx2(const RowSource &, std::uint8_t *, const RenderConstants *, RowPoints &)
{
  throw std::logic_error("encode_row_avx2 called in a build without AVX2 support");
}

#endif

}  // namespace tavrinox_camera_convertor::detail
