// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include <Eigen/Core>

#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <xmmintrin.h>
#endif

namespace tavrinox_camera_convertor
{

/**
 * @brief Maps one point by a 4x4 float matrix with exactly the arithmetic of
 *        pcl::transformPointCloud on this platform, so fused loops stay bit-identical to it.
 *
 * With SSE, PCL computes x*c0 + (y*c1 + (z*c2 + c3)) over whole columns, the fourth float
 * included; elsewhere it sums each row left to right and writes 1 as the fourth float.
 */
class PointTransform
{
public:
  explicit PointTransform(const Eigen::Matrix4f & matrix)
  {
#if defined(__SSE2__)
    for (int i = 0; i < 4; ++i) {
      column_[i] = _mm_loadu_ps(matrix.col(i).data());
    }
#else
    matrix_ = matrix;
#endif
  }

  /// @brief Writes the transformed point (x, y, z, fourth float) as a 16-byte record at `record`.
  void apply(float x, float y, float z, std::uint8_t * record) const
  {
#if defined(__SSE2__)
    const __m128 px = _mm_mul_ps(_mm_set1_ps(x), column_[0]);
    const __m128 py = _mm_mul_ps(_mm_set1_ps(y), column_[1]);
    const __m128 pz = _mm_mul_ps(_mm_set1_ps(z), column_[2]);
    _mm_storeu_ps(
      reinterpret_cast<float *>(record),
      _mm_add_ps(px, _mm_add_ps(py, _mm_add_ps(pz, column_[3]))));
#else
    const Eigen::Matrix4f & m = matrix_;
    const float point[4] = {
      m(0, 0) * x + m(0, 1) * y + m(0, 2) * z + m(0, 3),
      m(1, 0) * x + m(1, 1) * y + m(1, 2) * z + m(1, 3),
      m(2, 0) * x + m(2, 1) * y + m(2, 2) * z + m(2, 3),
      1.0f};
    std::memcpy(record, point, sizeof point);
#endif
  }

private:
#if defined(__SSE2__)
  __m128 column_[4];
#else
  Eigen::Matrix4f matrix_;
#endif
};

}  // namespace tavrinox_camera_convertor
