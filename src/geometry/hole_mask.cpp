// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "tavrinox_camera_convertor/geometry/hole_mask.hpp"

#include <algorithm>
#include <limits>
#include <string>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "tavrinox_camera_convertor/geometry/frame_error.hpp"

namespace tavrinox_camera_convertor
{

void HoleMask::assign(const DepthPixels & depth)
{
  width_ = depth.width();
  height_ = depth.height();
  words_per_row_ = static_cast<std::uint32_t>((static_cast<std::uint64_t>(width_) + 31) / 32);
  const std::uint64_t words = static_cast<std::uint64_t>(words_per_row_) * height_;
  // Vector loops index the words with 32-bit lanes.
  if (words > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max())) {
    throw FrameError(
            "depth image of " + std::to_string(width_) + " x " + std::to_string(height_) +
            " pixels is too large to complete");
  }
  words_.resize(static_cast<std::size_t>(words));
  has_holes_ = false;
  // A header may claim billions of rows of no pixels; there is nothing to visit then.
  if (words == 0) {
    return;
  }
  std::uint32_t any_hole = 0;
  for (std::uint32_t r = 0; r < height_; ++r) {
    const std::uint8_t * pixels = depth.row(r);
    std::uint32_t * row_words = words_.data() + static_cast<std::size_t>(r) * words_per_row_;
    std::uint32_t c = 0;
#if defined(__SSE2__)
    // Thirty-two pixels per word: compare with zero, narrow to bytes, one bit per byte.
    const __m128i zero = _mm_setzero_si128();
    for (; c + 32 <= width_; c += 32) {
      const auto zeros_of = [&](std::uint32_t first) {
          const __m128i low =
            _mm_loadu_si128(reinterpret_cast<const __m128i *>(pixels + 2 * std::size_t{first}));
          const __m128i high =
            _mm_loadu_si128(
            reinterpret_cast<const __m128i *>(pixels + 2 * std::size_t{first} +
            16));
          return static_cast<std::uint32_t>(
            _mm_movemask_epi8(
              _mm_packs_epi16(
                _mm_cmpeq_epi16(low, zero),
                _mm_cmpeq_epi16(high, zero))));
        };
      row_words[c / 32] = zeros_of(c) | zeros_of(c + 16) << 16;
      any_hole |= row_words[c / 32];
    }
#endif
    for (; c < width_; c += 32) {
      const std::uint32_t count = std::min<std::uint32_t>(32, width_ - c);
      std::uint32_t bits = 0;
      for (std::uint32_t b = 0; b < count; ++b) {
        bits |= static_cast<std::uint32_t>(DepthPixels::at(pixels, c + b) == 0) << b;
      }
      row_words[c / 32] = bits;
      any_hole |= bits;
    }
  }
  has_holes_ = any_hole != 0;
}

}  // namespace tavrinox_camera_convertor
