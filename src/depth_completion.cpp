// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "tavrinox_camera_convertor/depth_completion.hpp"

#include <algorithm>
#include <cstring>
#include <string>

#if defined(__SSE2__)
#include <emmintrin.h>
#include <xmmintrin.h>
#endif

#include "tavrinox_camera_convertor/cloud_encoding.hpp"
#include "tavrinox_camera_convertor/frame_error.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

void store_u16(std::uint8_t * bytes, std::uint16_t value)
{
  std::memcpy(bytes, &value, sizeof value);
}

}  // namespace

void reset_depth_image(std::uint32_t width, std::uint32_t height, ImageMessage & image)
{
  const std::uint64_t step = static_cast<std::uint64_t>(width) * sizeof(std::uint16_t);
  if (step > std::numeric_limits<std::uint32_t>::max()) {
    throw FrameError(
            "camera 1 depth image: width " + std::to_string(width) +
            " is too large for a 16-bit image row");
  }
  image.height = height;
  image.width = width;
  image.encoding = "16UC1";
  image.is_bigendian = host_is_bigendian() ? 1 : 0;
  image.step = static_cast<std::uint32_t>(step);
  image.data.assign(static_cast<std::size_t>(step) * height, 0);
}

namespace
{

// Points are projected in blocks: the arithmetic of a block runs four points at a time, then
// its pixels are written one by one in cloud order, so a later point still wins.
constexpr std::size_t kBlockPoints = 256;

struct ProjectedBlock
{
  std::int32_t column[kBlockPoints];
  std::int32_t row[kBlockPoints];
  std::int32_t millimetres[kBlockPoints];
  std::int32_t inside[kBlockPoints];  ///< non-zero where the point writes its pixel
  std::uint8_t * target[kBlockPoints];  ///< that pixel, or a sink for points that write nothing
};

/// The rules every projected point follows, one point at a time.
void project_point_scalar(
  const float * point, const Eigen::Matrix4f & m, const CameraIntrinsics & k, std::uint32_t width,
  std::uint32_t height, ProjectedBlock & out, std::size_t slot)
{
  const Eigen::Vector4f camera = m * Eigen::Vector4f(point[0], point[1], point[2], 1.0f);
  const float z = camera.z();
  const float depth = z * 1000.0f;
  // Rejected points still get a defined pixel, which the write loop then ignores.
  out.inside[slot] = 0;
  out.column[slot] = 0;
  out.row[slot] = 0;
  // Behind the camera, on its plane or NaN: such a point has no depth to give; nor has one
  // whose depth does not fit 1..65535 mm.
  if (!(z > 0.0f) || !(depth < 65536.0f) || static_cast<std::int32_t>(depth) == 0) {
    return;
  }
  const std::int32_t column = saturating_trunc_to_int32((k.fx * camera.x()) / z + k.cx);
  const std::int32_t row = saturating_trunc_to_int32((k.fy * camera.y()) / z + k.cy);
  if (column < 0 || row < 0 || static_cast<std::uint32_t>(column) >= width || static_cast<std::uint32_t>(row) >= height) {
    return;
  }
  out.column[slot] = column;
  out.row[slot] = row;
  out.millimetres[slot] = static_cast<std::int32_t>(depth);
  out.inside[slot] = 1;
}

#if defined(__SSE2__)
/// Four points at once with the same IEEE operations, in the same order, as the scalar rules.
void project_four_points(
  const std::uint8_t * records, const Eigen::Matrix4f & m, const CameraIntrinsics & k, __m128i width,
  __m128i height, ProjectedBlock & out, std::size_t slot)
{
  __m128 x = _mm_loadu_ps(reinterpret_cast<const float *>(records));
  __m128 y = _mm_loadu_ps(reinterpret_cast<const float *>(records + 16));
  __m128 z = _mm_loadu_ps(reinterpret_cast<const float *>(records + 32));
  __m128 w = _mm_loadu_ps(reinterpret_cast<const float *>(records + 48));
  _MM_TRANSPOSE4_PS(x, y, z, w);
  // Eigen's 4x4 product: ((m0 * x + m1 * y) + m2 * z) + m3 * 1, row by row.
  const auto row_of = [&](int r) {
      const __m128 sum = _mm_add_ps(
        _mm_add_ps(_mm_mul_ps(_mm_set1_ps(m(r, 0)), x), _mm_mul_ps(_mm_set1_ps(m(r, 1)), y)),
        _mm_mul_ps(_mm_set1_ps(m(r, 2)), z));
      return _mm_add_ps(sum, _mm_mul_ps(_mm_set1_ps(m(r, 3)), _mm_set1_ps(1.0f)));
    };
  const __m128 cx = row_of(0);
  const __m128 cy = row_of(1);
  const __m128 cz = row_of(2);

  const __m128 depth = _mm_mul_ps(cz, _mm_set1_ps(1000.0f));
  const __m128 depth_fits = _mm_and_ps(_mm_cmpgt_ps(cz, _mm_setzero_ps()), _mm_cmplt_ps(depth, _mm_set1_ps(65536.0f)));
  const __m128i millimetres = _mm_cvttps_epi32(_mm_and_ps(depth_fits, depth));

  const __m128 u = _mm_add_ps(_mm_div_ps(_mm_mul_ps(_mm_set1_ps(k.fx), cx), cz), _mm_set1_ps(k.cx));
  const __m128 v = _mm_add_ps(_mm_div_ps(_mm_mul_ps(_mm_set1_ps(k.fy), cy), cz), _mm_set1_ps(k.cy));
  // Truncation toward zero with NaN as 0 and saturation: clamping to [-1, largest float below
  // 2^31] first keeps every conversion defined and every in-image answer unchanged.
  const auto to_index = [](__m128 value) {
      const __m128 not_nan = _mm_and_ps(_mm_cmpord_ps(value, value), value);
      return _mm_cvttps_epi32(_mm_min_ps(_mm_max_ps(not_nan, _mm_set1_ps(-1.0f)), _mm_set1_ps(2147483520.0f)));
    };
  const __m128i column = to_index(u);
  const __m128i row = to_index(v);
  const __m128i minus_one = _mm_set1_epi32(-1);
  const __m128i inside = _mm_and_si128(
    _mm_and_si128(_mm_cmpgt_epi32(column, minus_one), _mm_cmplt_epi32(column, width)),
    _mm_and_si128(_mm_cmpgt_epi32(row, minus_one), _mm_cmplt_epi32(row, height)));
  const __m128i writes = _mm_andnot_si128(
    _mm_cmpeq_epi32(millimetres, _mm_setzero_si128()),
    _mm_and_si128(inside, _mm_castps_si128(depth_fits)));

  _mm_storeu_si128(reinterpret_cast<__m128i *>(out.column + slot), column);
  _mm_storeu_si128(reinterpret_cast<__m128i *>(out.row + slot), row);
  _mm_storeu_si128(reinterpret_cast<__m128i *>(out.millimetres + slot), millimetres);
  _mm_storeu_si128(reinterpret_cast<__m128i *>(out.inside + slot), writes);
}
#endif

}  // namespace

void start_from_measured_depth(const DepthPixels & measured, ImageMessage & image)
{
  reset_depth_image(measured.width(), measured.height(), image);
  if (measured.empty()) {
    return;
  }
  const std::size_t row_bytes = 2 * static_cast<std::size_t>(measured.width());
  for (std::uint32_t r = 0; r < measured.height(); ++r) {
    std::memcpy(image.data.data() + r * row_bytes, measured.row(r), row_bytes);
  }
}

void project_points_to_depth(
  const std::uint8_t * records, std::size_t count, const Eigen::Matrix4f & arm_to_camera,
  const CameraIntrinsics & intrinsics, ImageMessage & image, const DepthPixels * holes_of)
{
  const std::uint32_t width = image.width;
  const std::uint32_t height = image.height;
  std::uint8_t * pixels = image.data.data();
  ProjectedBlock block;
  std::uint8_t sink[2];
#if defined(__SSE2__)
  // Signed comparisons suffice: a valid column or row is below 2^31.
  const std::int32_t int_max = std::numeric_limits<std::int32_t>::max();
  const __m128i width_vector = _mm_set1_epi32(static_cast<std::int32_t>(std::min<std::uint32_t>(width, int_max)));
  const __m128i height_vector = _mm_set1_epi32(static_cast<std::int32_t>(std::min<std::uint32_t>(height, int_max)));
#endif
  for (std::size_t first = 0; first < count; first += kBlockPoints) {
    const std::size_t in_block = std::min(kBlockPoints, count - first);
    const std::uint8_t * block_records = records + first * kPointRecordBytes;
    std::size_t k = 0;
#if defined(__SSE2__)
    for (; k + 4 <= in_block; k += 4) {
      project_four_points(block_records + k * kPointRecordBytes, arm_to_camera, intrinsics, width_vector,
        height_vector, block, k);
    }
#endif
    for (; k < in_block; ++k) {
      float point[4];
      std::memcpy(point, block_records + k * kPointRecordBytes, sizeof point);
      project_point_scalar(point, arm_to_camera, intrinsics, width, height, block, k);
    }
    // Points that write nothing write to a sink instead, so neither loop below branches on
    // the projection; every target is touched first so the writes rarely wait on memory.
    for (k = 0; k < in_block; ++k) {
      const std::size_t row = static_cast<std::size_t>(block.row[k]);
      const std::size_t column = static_cast<std::size_t>(block.column[k]);
      block.target[k] = block.inside[k] != 0 ? pixels + row * image.step + 2 * column : sink;
    }
    if (holes_of != nullptr) {
      // A measured pixel keeps its measurement anyway: only holes take projected depth.
      for (k = 0; k < in_block; ++k) {
        const bool hole = block.inside[k] == 0 ||
          DepthPixels::at(holes_of->row(static_cast<std::uint32_t>(block.row[k])), static_cast<std::uint32_t>(block.column[k])) == 0;
        block.target[k] = hole ? block.target[k] : sink;
      }
    }
    for (k = 0; k < in_block; ++k) {
      __builtin_prefetch(block.target[k], 1);
    }
    // Writes in cloud order, so where points meet the later one keeps the pixel.
    for (k = 0; k < in_block; ++k) {
      store_u16(block.target[k], static_cast<std::uint16_t>(block.millimetres[k]));
    }
  }
}

void project_cloud_to_depth(
  const pcl::PointCloud<pcl::PointXYZ> & cloud, const Eigen::Matrix4f & arm_to_camera,
  const CameraIntrinsics & intrinsics, ImageMessage & image)
{
  project_points_to_depth(
    reinterpret_cast<const std::uint8_t *>(cloud.points.data()), cloud.size(), arm_to_camera, intrinsics, image);
}

void overlay_measured_depth(const DepthPixels & measured, ImageMessage & image)
{
  if (measured.empty()) {
    return;
  }
  const std::uint32_t rows = std::min(measured.height(), image.height);
  const std::uint32_t columns = std::min(measured.width(), image.width);
  for (std::uint32_t r = 0; r < rows; ++r) {
    const std::uint8_t * source = measured.row(r);
    std::uint8_t * target = image.data.data() + static_cast<std::size_t>(r) * image.step;
    // Measured depth wins; zero means camera 1 saw nothing there.
    for (std::uint32_t c = 0; c < columns; ++c) {
      const std::uint16_t measured_value = DepthPixels::at(source, c);
      std::uint16_t rendered;
      std::memcpy(&rendered, target + 2 * static_cast<std::size_t>(c), sizeof rendered);
      store_u16(target + 2 * static_cast<std::size_t>(c), measured_value != 0 ? measured_value : rendered);
    }
  }
}

}  // namespace tavrinox_camera_convertor
