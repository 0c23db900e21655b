// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// A valid small depth payload and the means to spoil it: values written into its bytes at
// their offsets, and the expectation that the decoder refuses the result saying why.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "tavrinox_camera_convertor/codec/cloud_codec_error.hpp"
#include "tavrinox_camera_convertor/codec/cloud_decoder.hpp"
#include "tavrinox_camera_convertor/codec/cloud_encoder.hpp"
#include "tavrinox_camera_convertor/geometry/arm_cloud.hpp"
#include "tavrinox_camera_convertor/geometry/depth_pixels.hpp"
#include "tavrinox_camera_convertor/geometry/extrinsic_transform.hpp"
#include "test_support.hpp"

namespace tavrinox_camera_convertor::test
{

/// A valid 3 x 2 depth payload (5 points), its cloud and the layout beside it.
struct DepthPayload
{
  std::vector<std::uint8_t> bytes;
  pcl::PCLPointCloud2 cloud;
};

inline DepthPayload depth_payload()
{
  const ImageMessage image = test::make_depth_image(3, 2, {1000, 0, 1002, 1100, 1101, 1099});
  std::vector<std::uint16_t> scratch;
  const DepthPixels depth(view_of(image), "camera 1", scratch);
  const CameraIntrinsics intrinsics{3.0f, 3.0f, 1.0f, 0.5f};
  const ExtrinsicTransform extrinsic =
    make_extrinsic_transform({-90.0f, 0.0f, 10.0f}, {1.0f, 2.0f, 3.0f});
  DepthPayload payload;
  CloudEncoder().encode_depth(depth, intrinsics, extrinsic, payload.bytes);
  ArmCloudWriter().write(depth, intrinsics, extrinsic, payload.cloud);
  return payload;
}

inline void put_u32(std::vector<std::uint8_t> & bytes, std::size_t offset, std::uint32_t value)
{
  for (int k = 0; k < 4; ++k) {
    bytes.at(offset + k) = static_cast<std::uint8_t>(value >> (8 * k));
  }
}

inline void put_f32(std::vector<std::uint8_t> & bytes, std::size_t offset, float value)
{
  std::uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  put_u32(bytes, offset, bits);
}

/// Offset of extrinsic entry (row, column) in a depth payload.
inline std::size_t extrinsic_offset(int row, int column) {return 30 + 4 * (4 * row + column);}

/// Expects decoding to throw CloudCodecError whose text holds `expected`.
inline void expect_refused(
  CloudDecoder & decoder, const std::vector<std::uint8_t> & payload,
  const pcl::PCLPointCloud2 & layout, const std::string & expected)
{
  pcl::PCLPointCloud2 out;
  try {
    decoder.decode(payload, layout, out);
    ADD_FAILURE() << "decoded, expected a refusal saying \"" << expected << "\"";
  } catch (const CloudCodecError & error) {
    EXPECT_NE(std::string(error.what()).find(expected), std::string::npos)
      << "text: " << error.what() << "\nexpected to hold: " << expected;
  }
}

}  // namespace tavrinox_camera_convertor::test
