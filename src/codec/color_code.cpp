// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "color_code.hpp"

#include <cstring>

#include "tavrinox_camera_convertor/geometry/instruction_set.hpp"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
// The same loops once more for processors with AVX2, whose byte shuffles let the compiler run the
// three- and four-byte pixels in vectors; chosen at run time.
#define TAVRINOX_COLOR_CODE_AVX2 1
#define TAVRINOX_AVX2 __attribute__((target("avx2")))
#endif

namespace tavrinox_camera_convertor::detail
{
namespace
{

/// Pixels a vector loop takes at once, through local arrays nothing else can point into.
constexpr std::uint32_t kChunk = 64;

/// The planes' rows a row of the code writes or reads: plane k starts k x width x height bytes on.
struct PlaneRows
{
  std::uint8_t * plane[4];
};

template<unsigned Channels>
PlaneRows plane_rows(
  std::uint8_t * code, std::uint32_t width, std::uint32_t height, std::uint32_t row)
{
  const std::size_t pixels = static_cast<std::size_t>(width) * height;
  const std::size_t first = static_cast<std::size_t>(row) * width;
  return {{code + first, code + pixels + first, code + 2 * pixels + first,
    Channels == 4 ? code + 3 * pixels + first : nullptr}};
}

/// Row 0 has nothing above it: each pixel's differences from the pixel on its left, from 0 for
/// the first.
template<unsigned Channels>
void first_row_to_code(const std::uint8_t * row, std::uint32_t width, const PlaneRows & out)
{
  std::uint8_t previous[4] = {0, 0, 0, 0};
  for (std::uint32_t j = 0; j < width; ++j) {
    std::uint8_t difference[4];
    for (unsigned c = 0; c < Channels; ++c) {
      difference[c] = static_cast<std::uint8_t>(row[Channels * j + c] - previous[c]);
      previous[c] = row[Channels * j + c];
    }
    out.plane[0][j] = difference[1];
    out.plane[1][j] = static_cast<std::uint8_t>(difference[0] - difference[1]);
    out.plane[2][j] = static_cast<std::uint8_t>(difference[2] - difference[1]);
    if (Channels == 4) {
      out.plane[3][j] = difference[3];
    }
  }
}

template<unsigned Channels>
void code_to_first_row(const PlaneRows & in, std::uint32_t width, std::uint8_t * row)
{
  std::uint8_t previous[4] = {0, 0, 0, 0};
  for (std::uint32_t j = 0; j < width; ++j) {
    const std::uint8_t green = in.plane[0][j];
    const std::uint8_t difference[4] = {
      static_cast<std::uint8_t>(in.plane[1][j] + green), green,
      static_cast<std::uint8_t>(in.plane[2][j] + green),
      Channels == 4 ? in.plane[3][j] : std::uint8_t{0}};
    for (unsigned c = 0; c < Channels; ++c) {
      previous[c] = static_cast<std::uint8_t>(previous[c] + difference[c]);
      row[Channels * j + c] = previous[c];
    }
  }
}

/// Codes `count` pixels of a row below the first.
template<unsigned Channels>
inline __attribute__((always_inline)) void pixels_to_code(
  const std::uint8_t * row, const std::uint8_t * above, std::uint32_t count,
  const PlaneRows & out, std::uint32_t at)
{
  std::uint8_t here[Channels * kChunk];
  std::uint8_t over[Channels * kChunk];
  std::uint8_t planes[4][kChunk];
  if (count < kChunk) {
    // A row's last, shorter chunk: the loop still runs over the whole arrays.
    std::memset(here, 0, sizeof here);
    std::memset(over, 0, sizeof over);
  }
  std::memcpy(here, row, Channels * count);
  std::memcpy(over, above, Channels * count);
  // Differences from the pixel above, green's taken from the other channels'.
  for (std::uint32_t j = 0; j < kChunk; ++j) {
    const auto green = static_cast<std::uint8_t>(here[Channels * j + 1] - over[Channels * j + 1]);
    planes[0][j] = green;
    planes[1][j] =
      static_cast<std::uint8_t>(here[Channels * j] - over[Channels * j] - green);
    planes[2][j] =
      static_cast<std::uint8_t>(here[Channels * j + 2] - over[Channels * j + 2] - green);
    if (Channels == 4) {
      planes[3][j] = static_cast<std::uint8_t>(here[Channels * j + 3] - over[Channels * j + 3]);
    }
  }
  for (unsigned k = 0; k < (Channels == 4 ? 4u : 3u); ++k) {
    std::memcpy(out.plane[k] + at, planes[k], count);
  }
}

/// Decodes `count` pixels of a row below the first.
template<unsigned Channels>
inline __attribute__((always_inline)) void code_to_pixels(
  const PlaneRows & in, std::uint32_t at, const std::uint8_t * above, std::uint32_t count,
  std::uint8_t * row)
{
  std::uint8_t planes[4][kChunk];
  std::uint8_t over[Channels * kChunk];
  std::uint8_t here[Channels * kChunk];
  if (count < kChunk) {
    // A row's last, shorter chunk: the loop still runs over the whole arrays.
    std::memset(planes, 0, sizeof planes);
    std::memset(over, 0, sizeof over);
  }
  for (unsigned k = 0; k < (Channels == 4 ? 4u : 3u); ++k) {
    std::memcpy(planes[k], in.plane[k] + at, count);
  }
  std::memcpy(over, above, Channels * count);
  // The pixel above plus the differences, green's added back to the other channels'.
  for (std::uint32_t j = 0; j < kChunk; ++j) {
    const std::uint8_t green = planes[0][j];
    const std::uint32_t first = Channels * j;
    here[first] = static_cast<std::uint8_t>(over[first] + planes[1][j] + green);
    here[first + 1] = static_cast<std::uint8_t>(over[first + 1] + green);
    here[first + 2] = static_cast<std::uint8_t>(over[first + 2] + planes[2][j] + green);
    if (Channels == 4) {
      here[Channels * j + 3] = static_cast<std::uint8_t>(over[Channels * j + 3] + planes[3][j]);
    }
  }
  std::memcpy(row, here, Channels * count);
}

/// Every row of the image, inlined into the plain and the AVX2 entry points alike.
template<unsigned Channels>
inline __attribute__((always_inline)) void rows_to_code(
  const std::uint8_t * pixels, std::size_t step, std::uint32_t width, std::uint32_t height,
  std::uint8_t * code)
{
  first_row_to_code<Channels>(pixels, width, plane_rows<Channels>(code, width, height, 0));
  for (std::uint32_t i = 1; i < height; ++i) {
    const std::uint8_t * row = pixels + i * step;
    const PlaneRows out = plane_rows<Channels>(code, width, height, i);
    for (std::uint32_t j = 0; j < width; j += kChunk) {
      const std::uint32_t count = width - j < kChunk ? width - j : kChunk;
      pixels_to_code<Channels>(
        row + Channels * static_cast<std::size_t>(j),
        row - step + Channels * static_cast<std::size_t>(j), count, out, j);
    }
  }
}

template<unsigned Channels>
inline __attribute__((always_inline)) void rows_to_color(
  const std::uint8_t * code, std::uint32_t width, std::uint32_t height, std::uint8_t * pixels)
{
  // The planes are only read; PlaneRows holds writable pointers for both directions.
  std::uint8_t * const planes = const_cast<std::uint8_t *>(code);
  const std::size_t step = static_cast<std::size_t>(Channels) * width;
  code_to_first_row<Channels>(plane_rows<Channels>(planes, width, height, 0), width, pixels);
  for (std::uint32_t i = 1; i < height; ++i) {
    std::uint8_t * const row = pixels + i * step;
    const PlaneRows in = plane_rows<Channels>(planes, width, height, i);
    for (std::uint32_t j = 0; j < width; j += kChunk) {
      const std::uint32_t count = width - j < kChunk ? width - j : kChunk;
      code_to_pixels<Channels>(
        in, j, row - step + Channels * static_cast<std::size_t>(j), count,
        row + Channels * static_cast<std::size_t>(j));
    }
  }
}

// Both ways for every image, once as any x86-64 runs it and once compiled for AVX2: the same
// loops, which the compiler vectorises as wide as the function's target allows.
#define TAVRINOX_COLOR_CODE_LOOPS(ATTRIBUTES, SUFFIX) \
  ATTRIBUTES void color_to_code_ ## SUFFIX( \
    const std::uint8_t * pixels, std::size_t step, std::uint32_t width, std::uint32_t height, \
    unsigned channels, std::uint8_t * code) \
  { \
    if (channels == 4) { \
      rows_to_code<4>(pixels, step, width, height, code); \
    } else { \
      rows_to_code<3>(pixels, step, width, height, code); \
    } \
  } \
  ATTRIBUTES void code_to_color_ ## SUFFIX( \
    const std::uint8_t * code, std::uint32_t width, std::uint32_t height, unsigned channels, \
    std::uint8_t * pixels) \
  { \
    if (channels == 4) { \
      rows_to_color<4>(code, width, height, pixels); \
    } else { \
      rows_to_color<3>(code, width, height, pixels); \
    } \
  }

TAVRINOX_COLOR_CODE_LOOPS(, plain)
#if defined(TAVRINOX_COLOR_CODE_AVX2)
TAVRINOX_COLOR_CODE_LOOPS(TAVRINOX_AVX2, avx2)
#endif

bool avx2()
{
  static const bool supported = is_supported(InstructionSet::avx2);
  return supported;
}

}  // namespace

void color_to_code(
  const std::uint8_t * pixels, std::size_t step, std::uint32_t width, std::uint32_t height,
  unsigned channels, std::uint8_t * code)
{
  if (width == 0 || height == 0) {
    return;
  }
#if defined(TAVRINOX_COLOR_CODE_AVX2)
  if (avx2()) {
    color_to_code_avx2(pixels, step, width, height, channels, code);
    return;
  }
#endif
  color_to_code_plain(pixels, step, width, height, channels, code);
}

void code_to_color(
  const std::uint8_t * code, std::uint32_t width, std::uint32_t height, unsigned channels,
  std::uint8_t * pixels)
{
  if (width == 0 || height == 0) {
    return;
  }
#if defined(TAVRINOX_COLOR_CODE_AVX2)
  if (avx2()) {
    code_to_color_avx2(code, width, height, channels, pixels);
    return;
  }
#endif
  code_to_color_plain(code, width, height, channels, pixels);
}

}  // namespace tavrinox_camera_convertor::detail
