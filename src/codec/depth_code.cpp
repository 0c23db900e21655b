// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "depth_code.hpp"

#include <cstring>
#include <string>

#include "tavrinox_camera_convertor/codec/cloud_codec_error.hpp"

namespace tavrinox_camera_convertor::detail
{
namespace
{

/// Pixels a vector loop takes at once: the loops below are written for the compiler to vectorise.
constexpr std::uint32_t kChunk = 64;
/// The byte that says "the value follows in the escape list".
constexpr std::uint8_t kEscape = 255;

/// Small differences of either sign become small numbers: 0, -1, 1, -2 ... -> 0, 1, 2, 3 ...
inline std::uint16_t zig_zag(std::uint16_t difference)
{
  const auto negative = static_cast<std::uint16_t>(0u - (difference >> 15));
  return static_cast<std::uint16_t>((difference << 1) ^ negative);
}

inline std::uint16_t un_zig_zag(std::uint16_t code)
{
  const auto negative = static_cast<std::uint16_t>(0u - (code & 1u));
  return static_cast<std::uint16_t>((code >> 1) ^ negative);
}

/// Writes one pixel's code: its own byte, or the escape and its value at `escapes`, which it
/// returns moved past what it wrote.
inline std::uint8_t * put(std::uint16_t code, std::uint8_t & byte, std::uint8_t * escapes)
{
  if (code < kEscape) {
    byte = static_cast<std::uint8_t>(code);
    return escapes;
  }
  byte = kEscape;
  escapes[0] = static_cast<std::uint8_t>(code);
  escapes[1] = static_cast<std::uint8_t>(code >> 8);
  return escapes + 2;
}

/// Reads the escape list, refusing to read past its end.
class EscapeReader
{
public:
  EscapeReader(const std::uint8_t * first, const std::uint8_t * end)
  : next_(first), end_(end) {}

  /// @brief One pixel's code from its byte.
  std::uint16_t code(std::uint8_t byte)
  {
    if (byte != kEscape) {
      return byte;
    }
    if (end_ - next_ < 2) {
      throw CloudCodecError("the depth code has more escaped pixels than values for them");
    }
    const auto value = static_cast<std::uint16_t>(next_[0] | next_[1] << 8);
    next_ += 2;
    return value;
  }

  std::size_t left() const {return static_cast<std::size_t>(end_ - next_);}

private:
  const std::uint8_t * next_;
  const std::uint8_t * end_;
};

/// Row 0 has nothing above it: each pixel follows its left neighbour, the first follows 0.
std::uint8_t * first_row_to_code(
  const std::uint8_t * row, std::uint32_t width, std::uint8_t * out, std::uint8_t * escapes)
{
  std::uint16_t previous = 0;
  for (std::uint32_t j = 0; j < width; ++j) {
    const std::uint16_t value = DepthPixels::at(row, j);
    escapes = put(zig_zag(static_cast<std::uint16_t>(value - previous)), out[j], escapes);
    previous = value;
  }
  return escapes;
}

/// Codes one row below the first; returns the escape list's end. The chunks go through local
/// arrays, which nothing else can point into, so the compiler runs their loops in vectors.
std::uint8_t * row_to_code(
  const std::uint8_t * row, const std::uint8_t * above, std::uint32_t width, std::uint8_t * out,
  std::uint8_t * escapes)
{
  std::uint32_t j = 0;
  for (; j + kChunk <= width; j += kChunk) {
    std::uint16_t here[kChunk];
    std::uint16_t over[kChunk];
    std::uint16_t codes[kChunk];
    std::memcpy(here, row + 2 * static_cast<std::size_t>(j), sizeof here);
    std::memcpy(over, above + 2 * static_cast<std::size_t>(j), sizeof over);
    std::uint32_t escaped = 0;
    // Zig-zagged differences from the pixels above, and a bit above the byte when any needs an
    // escape (a code of 255 or more), without a branch.
    for (std::uint32_t k = 0; k < kChunk; ++k) {
      codes[k] = zig_zag(static_cast<std::uint16_t>(here[k] - over[k]));
      escaped |= (codes[k] + 1u) >> 8;
    }
    if (escaped == 0) {
      std::uint8_t bytes[kChunk];
      // Every code is its own byte.
      for (std::uint32_t k = 0; k < kChunk; ++k) {
        bytes[k] = static_cast<std::uint8_t>(codes[k]);
      }
      std::memcpy(out + j, bytes, sizeof bytes);
      continue;
    }
    for (std::uint32_t k = 0; k < kChunk; ++k) {
      escapes = put(codes[k], out[j + k], escapes);
    }
  }
  for (; j < width; ++j) {
    const auto difference =
      static_cast<std::uint16_t>(DepthPixels::at(row, j) - DepthPixels::at(above, j));
    escapes = put(zig_zag(difference), out[j], escapes);
  }
  return escapes;
}

void code_to_first_row(
  const std::uint8_t * in, std::uint32_t width, std::uint16_t * out, EscapeReader & escapes)
{
  std::uint16_t previous = 0;
  // Running sum of the row's differences, from 0.
  for (std::uint32_t j = 0; j < width; ++j) {
    previous = static_cast<std::uint16_t>(previous + un_zig_zag(escapes.code(in[j])));
    out[j] = previous;
  }
}

/// Decodes one row below the first, its chunks through local arrays as row_to_code's.
void code_to_row(
  const std::uint8_t * in, const std::uint16_t * above, std::uint32_t width, std::uint16_t * out,
  EscapeReader & escapes)
{
  std::uint32_t j = 0;
  for (; j + kChunk <= width; j += kChunk) {
    std::uint8_t bytes[kChunk];
    std::uint16_t over[kChunk];
    std::uint16_t values[kChunk];
    std::memcpy(bytes, in + j, sizeof bytes);
    std::memcpy(over, above + j, sizeof over);
    std::uint32_t escaped = 0;
    // A bit above the byte when any of the chunk's pixels is escaped, without a branch.
    for (std::uint32_t k = 0; k < kChunk; ++k) {
      escaped |= (bytes[k] + 1u) >> 8;
    }
    if (escaped == 0) {
      // Each pixel is the one above plus its difference.
      for (std::uint32_t k = 0; k < kChunk; ++k) {
        values[k] = static_cast<std::uint16_t>(over[k] + un_zig_zag(bytes[k]));
      }
    } else {
      for (std::uint32_t k = 0; k < kChunk; ++k) {
        values[k] = static_cast<std::uint16_t>(over[k] + un_zig_zag(escapes.code(bytes[k])));
      }
    }
    std::memcpy(out + j, values, sizeof values);
  }
  for (; j < width; ++j) {
    out[j] = static_cast<std::uint16_t>(above[j] + un_zig_zag(escapes.code(in[j])));
  }
}

}  // namespace

std::size_t depth_to_code(const DepthPixels & depth, std::uint8_t * code)
{
  if (depth.empty()) {
    return 0;  // a zero width may come with billions of rows
  }
  const std::uint32_t width = depth.width();
  const std::size_t pixels = static_cast<std::size_t>(width) * depth.height();
  std::uint8_t * escapes = first_row_to_code(depth.row(0), width, code, code + pixels);
  for (std::uint32_t i = 1; i < depth.height(); ++i) {
    escapes = row_to_code(
      depth.row(i), depth.row(i - 1), width, code + static_cast<std::size_t>(i) * width,
      escapes);
  }
  return static_cast<std::size_t>(escapes - code);
}

void code_to_depth(
  const std::uint8_t * code, std::size_t size, std::uint32_t width, std::uint32_t height,
  std::uint16_t * millimetres)
{
  const std::size_t pixels =
    width == 0 || height == 0 ? 0 : static_cast<std::size_t>(width) * height;
  if (size < pixels) {
    throw CloudCodecError(
            "the depth code holds " + std::to_string(size) + " bytes, fewer than the image's " +
            std::to_string(pixels) + " pixels");
  }
  EscapeReader escapes(code + pixels, code + size);
  if (pixels != 0) {
    code_to_first_row(code, width, millimetres, escapes);
    for (std::uint32_t i = 1; i < height; ++i) {
      const std::size_t first = static_cast<std::size_t>(i) * width;
      code_to_row(code + first, millimetres + first - width, width, millimetres + first, escapes);
    }
  }
  if (escapes.left() != 0) {
    throw CloudCodecError(
            "the depth code ends with " + std::to_string(escapes.left()) + " bytes that no "
            "escaped pixel takes");
  }
}

}  // namespace tavrinox_camera_convertor::detail
