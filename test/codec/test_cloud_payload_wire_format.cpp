// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// The depth payload's header as other builds read it: the camera at its documented offsets,
// bit for bit, and the zstd frame right after.
#include <gtest/gtest.h>

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

TEST(CloudPayload, DepthHeaderHoldsTheCameraBitForBitWhereDocumented)
{
  // Other builds read these offsets: they are the wire format, not an implementation detail.
  const DepthPayload payload = depth_payload();
  const std::vector<std::uint8_t> & bytes = payload.bytes;
  ASSERT_GT(bytes.size(), kDepthPayloadHeaderBytes + 4);
  EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "TXCC");
  EXPECT_EQ(bytes[4], kCloudPayloadVersion);
  EXPECT_EQ(bytes[5], static_cast<std::uint8_t>(CloudPayloadKind::depth_image));
  EXPECT_EQ(bytes[6], 3);
  EXPECT_EQ(bytes[10], 2);
  float value;
  std::memcpy(&value, &bytes[18], 4);  // a little-endian machine reads the bytes as they are
  EXPECT_EQ(value, 3.0f);
  std::memcpy(&value, &bytes[extrinsic_offset(2, 3)], 4);
  EXPECT_EQ(value, 3.0f);
  const std::vector<std::uint8_t> zstd_magic = {0x28, 0xb5, 0x2f, 0xfd};
  EXPECT_TRUE(std::equal(zstd_magic.begin(), zstd_magic.end(), &bytes[kDepthPayloadHeaderBytes]));
}

}  // namespace
}  // namespace tavrinox_camera_convertor::test
