// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// The checksums of payloads: XXH3's 64-bit hash of what a payload decodes into, and of its
// header with that digest, so that a damaged header is caught as surely as a damaged frame.
#pragma once

#include <pcl/PCLPointCloud2.h>

#define XXH_STATIC_LINKING_ONLY  // the hash state's layout, so that it lives on the stack
#include <xxhash.h>

#include <cstddef>
#include <cstdint>

#include "tavrinox_camera_convertor/geometry/depth_pixels.hpp"

namespace tavrinox_camera_convertor::detail
{

/// XXH3-64 of bytes handed over in pieces; numbers go in little-endian, whatever the host.
class ContentDigest
{
public:
  ContentDigest();

  /// @brief Adds `size` bytes.
  void add(const void * data, std::size_t size);
  /// @brief Adds `value` as its four little-endian bytes.
  void add_u32(std::uint32_t value);
  /// @brief Adds `count` host-order 16-bit values as their little-endian bytes.
  void add_u16s(const std::uint16_t * values, std::size_t count);

  /// @brief The hash of everything added so far.
  std::uint64_t value() const;

private:
  XXH3_state_t state_;
};

/// @brief XXH3-64 of `depth`'s millimetres, little-endian, row after row without padding.
std::uint64_t digest_of(const DepthPixels & depth);

/// @brief XXH3-64 of `count` host-order millimetres, little-endian.
std::uint64_t digest_of_millimetres(const std::uint16_t * millimetres, std::size_t count);

/**
 * @brief XXH3-64 of a cloud's layout as it travels beside a payload, then its data bytes: height,
 *        width, point_step, row_step (u32 each), is_bigendian, is_dense (u8 each), the number of
 *        fields (u32), and for each field its name's length (u32), name, offset (u32), datatype
 *        (u8) and count (u32).
 */
std::uint64_t digest_of_cloud(const pcl::PCLPointCloud2 & layout, const std::uint8_t * data);

/**
 * @brief A payload's checksum: XXH3-64 of the `size` header bytes at `header` (everything before
 *        the checksum) followed by `content_digest`'s eight little-endian bytes.
 */
std::uint64_t payload_checksum(
  const std::uint8_t * header, std::size_t size, std::uint64_t content_digest);

}  // namespace tavrinox_camera_convertor::detail
