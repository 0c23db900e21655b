// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "median_edge_prediction.hpp"

#include <algorithm>

namespace tavrinox_camera_convertor::bench
{
namespace
{

std::uint16_t median_edge(int left, int above, int corner)
{
  const int low = std::min(left, above);
  const int high = std::max(left, above);
  if (corner >= high) {
    return static_cast<std::uint16_t>(low);
  }
  if (corner <= low) {
    return static_cast<std::uint16_t>(high);
  }
  return static_cast<std::uint16_t>(left + above - corner);
}

/// The neighbours of pixel (i, j) of packed rows, as the codec's edges would have them.
struct Neighbours
{
  int left;
  int above;
  int corner;
};

Neighbours neighbours(const std::uint16_t * mm, std::size_t width, std::size_t i, std::size_t j)
{
  const std::size_t k = i * width + j;
  const int above = i > 0 ? mm[k - width] : (j > 0 ? mm[k - 1] : 0);
  const int left = j > 0 ? mm[k - 1] : above;
  const int corner = i > 0 && j > 0 ? mm[k - width - 1] : above;
  return {left, above, corner};
}

std::uint16_t zig_zag(std::uint16_t difference)
{
  return static_cast<std::uint16_t>((difference << 1) ^ (0u - (difference >> 15)));
}

std::uint16_t un_zig_zag(std::uint16_t code)
{
  return static_cast<std::uint16_t>((code >> 1) ^ (0u - (code & 1u)));
}

}  // namespace

void median_edge_planes(
  const std::uint16_t * mm, std::size_t width, std::size_t height, std::uint8_t * planes)
{
  const std::size_t pixels = width * height;
  for (std::size_t i = 0; i < height; ++i) {
    for (std::size_t j = 0; j < width; ++j) {
      const Neighbours n = neighbours(mm, width, i, j);
      const std::size_t k = i * width + j;
      const std::uint16_t code =
        zig_zag(static_cast<std::uint16_t>(mm[k] - median_edge(n.left, n.above, n.corner)));
      planes[k] = static_cast<std::uint8_t>(code);
      planes[pixels + k] = static_cast<std::uint8_t>(code >> 8);
    }
  }
}

void median_edge_depth(
  const std::uint8_t * planes, std::size_t width, std::size_t height, std::uint16_t * mm)
{
  const std::size_t pixels = width * height;
  for (std::size_t i = 0; i < height; ++i) {
    // Pixel after pixel: each prediction needs the ones already made.
    for (std::size_t j = 0; j < width; ++j) {
      const Neighbours n = neighbours(mm, width, i, j);
      const std::size_t k = i * width + j;
      const auto code = static_cast<std::uint16_t>(planes[k] | planes[pixels + k] << 8);
      mm[k] =
        static_cast<std::uint16_t>(median_edge(n.left, n.above, n.corner) + un_zig_zag(code));
    }
  }
}

}  // namespace tavrinox_camera_convertor::bench
