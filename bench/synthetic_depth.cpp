// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "synthetic_depth.hpp"

#include <algorithm>
#include <cmath>
#include <random>

namespace tavrinox_camera_convertor
{
namespace
{

/// Zeroes the pixels of one disc; returns how many had depth before.
std::size_t punch_disc(
  std::vector<std::uint16_t> & mm, std::uint32_t width, std::uint32_t height, int centre_row,
  int centre_column, int radius)
{
  std::size_t zeroed = 0;
  const int first_row = std::max(0, centre_row - radius);
  const int last_row = std::min(static_cast<int>(height) - 1, centre_row + radius);
  const int first_column = std::max(0, centre_column - radius);
  const int last_column = std::min(static_cast<int>(width) - 1, centre_column + radius);
  for (int i = first_row; i <= last_row; ++i) {
    for (int j = first_column; j <= last_column; ++j) {
      const int di = i - centre_row;
      const int dj = j - centre_column;
      if (di * di + dj * dj > radius * radius) {
        continue;
      }
      std::uint16_t & value = mm[static_cast<std::size_t>(i) * width + static_cast<std::size_t>(j)];
      zeroed += value != 0;
      value = 0;
    }
  }
  return zeroed;
}

}  // namespace

std::vector<std::uint16_t> synthetic_depth(
  std::uint32_t width, std::uint32_t height, double hole_share, unsigned seed)
{
  std::vector<std::uint16_t> mm(static_cast<std::size_t>(width) * height);
  for (std::uint32_t i = 0; i < height; ++i) {
    for (std::uint32_t j = 0; j < width; ++j) {
      const double surface =
        800.0 + 600.0 * i / height + 40.0 * std::sin(j * 0.05) * std::cos(i * 0.04);
      mm[static_cast<std::size_t>(i) * width + j] = static_cast<std::uint16_t>(surface);
    }
  }
  if (hole_share <= 0.0 || mm.empty()) {
    return mm;
  }
  std::mt19937 random(seed);
  std::uniform_int_distribution<std::uint32_t> column(0, width - 1);
  std::uniform_int_distribution<std::uint32_t> row(0, height - 1);
  const double blob_radius = std::max(1.0, width / 40.0);
  const auto wanted =
    static_cast<std::size_t>(std::min(hole_share, 1.0) * static_cast<double>(mm.size()));
  std::size_t zeros = 0;
  // Random discs cover every pixel sooner or later, so this ends for any share up to 1.
  while (zeros < wanted) {
    const int radius = static_cast<int>(blob_radius * (0.5 + (random() % 100) / 100.0));
    zeros += punch_disc(
      mm, width, height, static_cast<int>(row(random)), static_cast<int>(column(random)), radius);
  }
  return mm;
}

std::vector<std::uint16_t> noisy_synthetic_depth(
  std::uint32_t width, std::uint32_t height, double hole_share, unsigned seed)
{
  std::vector<std::uint16_t> mm = synthetic_depth(width, height, hole_share, seed);
  // A stream of its own, so the holes are those of synthetic_depth with the same seed.
  std::mt19937 random(seed ^ 0x9e3779b9u);
  std::normal_distribution<double> unit_noise(0.0, 1.0);
  for (std::uint16_t & value : mm) {
    if (value == 0) {
      continue;
    }
    const double metres = value / 1000.0;
    const double sigma_mm = 1.2 + 1.9 * (metres - 0.4) * (metres - 0.4);
    const double noisy = std::round(value + sigma_mm * unit_noise(random));
    // A measured pixel stays measured and within 16 bits.
    value = static_cast<std::uint16_t>(std::clamp(noisy, 1.0, 65535.0));
  }
  return mm;
}

}  // namespace tavrinox_camera_convertor
