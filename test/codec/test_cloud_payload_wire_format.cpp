// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// The depth payload's header as other builds read it: the camera at its documented offsets,
// bit for bit, the checksum of header and millimetres as documented, and the zstd frame after.
#include <gtest/gtest.h>
#include <xxhash.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "codec/malformed_payloads.hpp"
#include "tavrinox_camera_convertor/codec/cloud_payload.hpp"

namespace tavrinox_camera_convertor::test
{
namespace
{

std::uint64_t u64_at(const std::vector<std::uint8_t> & bytes, std::size_t offset)
{
  std::uint64_t value = 0;
  for (int k = 7; k >= 0; --k) {
    value = value << 8 | bytes.at(offset + k);
  }
  return value;
}

TEST(CloudPayload, DepthHeaderHoldsTheCameraBitForBitWhereDocumented)
{
  // Other builds read these offsets: they are the wire format, not an implementation detail.
  const DepthPayload payload = depth_payload();
  const std::vector<std::uint8_t> & bytes = payload.bytes;
  ASSERT_GT(bytes.size(), kDepthPayloadHeaderBytes + 4);
  EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "TXCC");
  EXPECT_EQ(bytes[4], 2);
  EXPECT_EQ(bytes[5], static_cast<std::uint8_t>(CloudPayloadKind::depth_image));
  EXPECT_EQ(bytes[6], 3);
  EXPECT_EQ(bytes[10], 2);
  float value;
  std::memcpy(&value, &bytes[18], 4);  // a little-endian machine reads the bytes as they are
  EXPECT_EQ(value, 3.0f);
  std::memcpy(&value, &bytes[extrinsic_offset(2, 3)], 4);
  EXPECT_EQ(value, 3.0f);
  EXPECT_EQ(kDepthPayloadHeaderBytes, 102u);
  const std::vector<std::uint8_t> zstd_magic = {0x28, 0xb5, 0x2f, 0xfd};
  EXPECT_TRUE(std::equal(zstd_magic.begin(), zstd_magic.end(), &bytes[kDepthPayloadHeaderBytes]));
}

TEST(CloudPayload, ChecksumIsXxh3OfTheHeaderAndTheMillimetresDigest)
{
  // Worked out from cloud_payload.hpp alone, as another implementation would.
  const DepthPayload payload = depth_payload();
  const std::vector<std::uint8_t> millimetres = {
    0xe8, 0x03, 0, 0, 0xea, 0x03, 0x4c, 0x04, 0x4d, 0x04, 0x4b, 0x04};  // 1000 0 1002 1100 ...
  const std::uint64_t digest = XXH3_64bits(millimetres.data(), millimetres.size());
  std::vector<std::uint8_t> covered(payload.bytes.begin(), payload.bytes.begin() + 94);
  for (int k = 0; k < 8; ++k) {
    covered.push_back(static_cast<std::uint8_t>(digest >> (8 * k)));
  }
  EXPECT_EQ(u64_at(payload.bytes, 94), XXH3_64bits(covered.data(), covered.size()));
}

}  // namespace
}  // namespace tavrinox_camera_convertor::test
