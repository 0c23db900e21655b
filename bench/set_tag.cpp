// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "set_tag.hpp"

#include <Eigen/Core>
#include <Eigen/LU>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "tavrinox_camera_convertor/geometry/cloud_encoding.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

constexpr std::uint16_t kDepthBase = 1000;
constexpr std::uint16_t kDepthStep = 16;
constexpr std::uint8_t kColorMarker = 0xA5;

std::uint32_t nibble(std::uint32_t set, std::uint32_t k) {return (set >> (4 * k)) & 0xFu;}

/// The number whose nibbles `depths` encode, if every one is a tag depth.
template<typename Depths>
std::optional<std::uint32_t> from_depths(const Depths & depths)
{
  std::uint32_t set = 0;
  for (std::uint32_t k = 0; k < kTagPixels; ++k) {
    const std::int64_t value = depths[k] - kDepthBase;
    if (value < 0 || value % kDepthStep != 0 || value / kDepthStep > 0xF) {
      return std::nullopt;
    }
    set |= static_cast<std::uint32_t>(value / kDepthStep) << (4 * k);
  }
  return set;
}

}  // namespace

void write_depth_tag(std::uint32_t set, std::uint8_t * row)
{
  for (std::uint32_t k = 0; k < kTagPixels; ++k) {
    const auto value = static_cast<std::uint16_t>(kDepthBase + kDepthStep * nibble(set, k));
    std::memcpy(row + 2 * k, &value, 2);
  }
}

std::optional<std::uint32_t> read_depth_tag(const std::uint8_t * row)
{
  std::array<std::int64_t, kTagPixels> depths{};
  for (std::uint32_t k = 0; k < kTagPixels; ++k) {
    std::uint16_t value;
    std::memcpy(&value, row + 2 * k, 2);
    depths[k] = value;
  }
  return from_depths(depths);
}

void write_color_tag(std::uint32_t set, std::uint8_t * row)
{
  for (std::uint32_t k = 0; k < kTagPixels; ++k) {
    row[3 * k] = static_cast<std::uint8_t>(16 * nibble(set, k));
    row[3 * k + 1] = kColorMarker;
  }
}

std::optional<std::uint32_t> read_color_tag(const std::uint8_t * row)
{
  std::uint32_t set = 0;
  for (std::uint32_t k = 0; k < kTagPixels; ++k) {
    if (row[3 * k + 1] != kColorMarker || row[3 * k] % 16 != 0) {
      return std::nullopt;
    }
    set |= static_cast<std::uint32_t>(row[3 * k] / 16) << (4 * k);
  }
  return set;
}

std::optional<std::uint32_t> read_cloud_tag(
  const std::uint8_t * records, std::size_t record_count, const ExtrinsicTransform & extrinsic)
{
  if (record_count < kTagPixels) {
    return std::nullopt;
  }
  // Back into the camera in double precision: far below a millimetre from the depth written.
  const Eigen::Matrix4d arm_to_camera = extrinsic.cast<double>().inverse();
  std::array<std::int64_t, kTagPixels> depths{};
  for (std::uint32_t k = 0; k < kTagPixels; ++k) {
    std::array<float, 3> point;
    std::memcpy(point.data(), records + k * kPointRecordBytes, sizeof point);
    const Eigen::Vector4d camera =
      arm_to_camera * Eigen::Vector4d(point[0], point[1], point[2], 1.0);
    depths[k] = std::lround(camera.z() * 1000.0);
  }
  return from_depths(depths);
}

}  // namespace tavrinox_camera_convertor
