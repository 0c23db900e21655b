// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// A payload whose sizes are beyond the decoder's limits, or beyond what its frame holds, is
// refused before anything of that size is allocated; sizes that overflow do not wrap.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <vector>

#include "codec/malformed_payloads.hpp"
#include "tavrinox_camera_convertor/codec/cloud_decoder.hpp"
#include "tavrinox_camera_convertor/codec/cloud_encoder.hpp"
#include "tavrinox_camera_convertor/geometry/cloud_encoding.hpp"

namespace tavrinox_camera_convertor::test
{
namespace
{

TEST(CloudCodecRefuses, SizesBeyondTheLimitsBeforeAllocatingThem)
{
  const DepthPayload valid = depth_payload();  // 3 x 2 pixels, 5 points
  const pcl::PCLPointCloud2 layout = layout_of(valid.cloud);
  CloudDecoderLimits limits;
  limits.max_pixels = 5;
  CloudDecoder few_pixels(limits);
  expect_refused(
    few_pixels, valid.bytes, layout, "its 3 x 2 image (6 pixels) is beyond this decoder's limit "
    "of 5 pixels");
  limits = CloudDecoderLimits();
  limits.max_decoded_bytes = 11;
  CloudDecoder few_bytes(limits);
  expect_refused(
    few_bytes, valid.bytes, layout, "image of 2 bytes a pixel is beyond this decoder's limit of 11 "
    "bytes");
  limits.max_decoded_bytes = 79;
  CloudDecoder small_clouds(limits);
  expect_refused(small_clouds, valid.bytes, layout, "its cloud of 5 points is beyond");

  // Four billion squared overflows 32 bits and 64 bits once doubled; neither may wrap.
  std::vector<std::uint8_t> huge = valid.bytes;
  put_u32(huge, 6, 0xffffffffu);
  put_u32(huge, 10, 0xffffffffu);
  CloudDecoder defaults;
  expect_refused(defaults, huge, layout, "(18446744065119617025 pixels) is beyond");
  limits.max_pixels = std::numeric_limits<std::uint64_t>::max();
  limits.max_decoded_bytes = std::numeric_limits<std::uint64_t>::max();
  CloudDecoder unlimited(limits);
  expect_refused(unlimited, huge, layout, "image of 2 bytes a pixel is beyond");
  put_u32(huge, 6, 0x80000000u);
  put_u32(huge, 10, 1);
  expect_refused(unlimited, huge, layout, "a row of 2147483648 pixels is longer than");

  // Within the default limits, but not what the frame holds: refused before 128 MiB are taken.
  std::vector<std::uint8_t> large = valid.bytes;
  put_u32(large, 6, 8192);
  put_u32(large, 10, 8192);
  expect_refused(
    defaults, large, layout, "holds 14 bytes, which no code of a 8192 x 8192 image takes");

  pcl::PCLPointCloud2 cloud;
  prepare_xyz_cloud(10, cloud);
  std::vector<std::uint8_t> data_payload;
  CloudEncoder().encode_cloud_data(cloud, data_payload);
  limits = CloudDecoderLimits();
  limits.max_decoded_bytes = 159;
  CloudDecoder few_data(limits);
  expect_refused(
    few_data, data_payload, layout_of(cloud), "its 160 bytes are beyond this decoder's limit");
}

}  // namespace
}  // namespace tavrinox_camera_convertor::test
