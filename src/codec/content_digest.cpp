// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "content_digest.hpp"

#include <algorithm>
#include <array>

#include "tavrinox_camera_convertor/geometry/image.hpp"

namespace tavrinox_camera_convertor::detail
{

ContentDigest::ContentDigest()
{
  XXH3_64bits_reset(&state_);
}

void ContentDigest::add(const void * data, std::size_t size)
{
  if (size != 0) {
    XXH3_64bits_update(&state_, data, size);
  }
}

void ContentDigest::add_u32(std::uint32_t value)
{
  const std::array<std::uint8_t, 4> bytes = {
    static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
    static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
  add(bytes.data(), bytes.size());
}

void ContentDigest::add_u16s(const std::uint16_t * values, std::size_t count)
{
  if (!host_is_bigendian()) {
    add(values, 2 * count);
    return;
  }
  // A big-endian host hashes the little-endian bytes a piece at a time.
  std::array<std::uint8_t, 4096> swapped;
  for (std::size_t first = 0; first < count; first += swapped.size() / 2) {
    const std::size_t piece = std::min(count - first, swapped.size() / 2);
    for (std::size_t k = 0; k < piece; ++k) {
      swapped[2 * k] = static_cast<std::uint8_t>(values[first + k]);
      swapped[2 * k + 1] = static_cast<std::uint8_t>(values[first + k] >> 8);
    }
    add(swapped.data(), 2 * piece);
  }
}

std::uint64_t ContentDigest::value() const
{
  return XXH3_64bits_digest(&state_);
}

std::uint64_t digest_of(const DepthPixels & depth)
{
  ContentDigest digest;
  if (!depth.empty()) {
    for (std::uint32_t i = 0; i < depth.height(); ++i) {
      // DepthPixels rows are host-order 16-bit values, maybe not 2-byte aligned.
      const std::uint8_t * row = depth.row(i);
      if (!host_is_bigendian()) {
        digest.add(row, 2 * static_cast<std::size_t>(depth.width()));
        continue;
      }
      for (std::uint32_t j = 0; j < depth.width(); ++j) {
        const std::uint16_t value = DepthPixels::at(row, j);
        digest.add_u16s(&value, 1);
      }
    }
  }
  return digest.value();
}

std::uint64_t digest_of_millimetres(const std::uint16_t * millimetres, std::size_t count)
{
  ContentDigest digest;
  digest.add_u16s(millimetres, count);
  return digest.value();
}

std::uint64_t digest_of_cloud(const pcl::PCLPointCloud2 & layout, const std::uint8_t * data)
{
  ContentDigest digest;
  for (const std::uint32_t value : {layout.height, layout.width, layout.point_step,
      layout.row_step})
  {
    digest.add_u32(value);
  }
  const std::array<std::uint8_t, 2> flags = {layout.is_bigendian, layout.is_dense};
  digest.add(flags.data(), flags.size());
  digest.add_u32(static_cast<std::uint32_t>(layout.fields.size()));
  for (const pcl::PCLPointField & field : layout.fields) {
    digest.add_u32(static_cast<std::uint32_t>(field.name.size()));
    digest.add(field.name.data(), field.name.size());
    digest.add_u32(field.offset);
    digest.add(&field.datatype, 1);
    digest.add_u32(field.count);
  }
  digest.add(data, static_cast<std::size_t>(layout.row_step) * layout.height);
  return digest.value();
}

std::uint64_t payload_checksum(
  const std::uint8_t * header, std::size_t size, std::uint64_t content_digest)
{
  ContentDigest digest;
  digest.add(header, size);
  digest.add_u32(static_cast<std::uint32_t>(content_digest));
  digest.add_u32(static_cast<std::uint32_t>(content_digest >> 32));
  return digest.value();
}

}  // namespace tavrinox_camera_convertor::detail
