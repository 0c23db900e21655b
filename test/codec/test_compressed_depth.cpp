// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// A depth image compressed once and wrapped into a cloud payload and a depth image payload gives
// byte for byte the payloads each encoder writes on its own; the depth code gives back every
// image, escapes everywhere or nowhere, whatever its width.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "codec/cloud_codec_round_trip.hpp"
#include "tavrinox_camera_convertor/codec/cloud_codec_error.hpp"
#include "tavrinox_camera_convertor/codec/cloud_decoder.hpp"
#include "tavrinox_camera_convertor/codec/cloud_encoder.hpp"
#include "tavrinox_camera_convertor/codec/compressed_depth.hpp"
#include "tavrinox_camera_convertor/codec/depth_image_codec.hpp"
#include "tavrinox_camera_convertor/geometry/arm_cloud.hpp"
#include "tavrinox_camera_convertor/geometry/depth_pixels.hpp"
#include "tavrinox_camera_convertor/geometry/extrinsic_transform.hpp"
#include "test_support.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

/// Full-range noise: every difference large, nearly every pixel escaped.
ImageMessage full_range_depth(std::uint32_t width, std::uint32_t height, unsigned seed)
{
  std::mt19937 random(seed);
  std::uniform_int_distribution<int> value(0, 65535);
  std::vector<std::uint16_t> mm(static_cast<std::size_t>(width) * height);
  for (std::uint16_t & pixel : mm) {
    pixel = static_cast<std::uint16_t>(value(random));
  }
  return test::make_depth_image(width, height, mm);
}

/// Columns alternating between 0 and 65535 below a flat row: escapes in every other pixel, in
/// the middle of every vector the code is worked in, and none in the rows that repeat.
ImageMessage striped_depth(std::uint32_t width, std::uint32_t height)
{
  std::vector<std::uint16_t> mm(static_cast<std::size_t>(width) * height, 1000);
  for (std::uint32_t i = 1; i < height; i += 3) {
    for (std::uint32_t j = 0; j < width; ++j) {
      mm[static_cast<std::size_t>(i) * width + j] = j % 2 == 0 ? 0 : 65535;
    }
  }
  return test::make_depth_image(width, height, mm);
}

std::vector<ImageMessage> images()
{
  return {test::noisy_depth(640, 480, 11), test::noisy_depth(65, 3, 12),
    full_range_depth(130, 7, 13), striped_depth(200, 10), striped_depth(63, 4),
    test::noisy_depth(1, 1, 14), test::make_depth_image(0, 0, {})};
}

std::string size_of(const ImageMessage & image)
{
  return std::to_string(image.width) + " x " + std::to_string(image.height);
}

TEST(CompressedDepth, WrappedOnceGivesTheBytesOfEachEncoderOnItsOwn)
{
  const CameraIntrinsics intrinsics{500.0f, 501.0f, 320.5f, 240.25f};
  const ExtrinsicTransform extrinsic =
    make_extrinsic_transform({-90.0f, 0.0f, 10.0f}, {1.0f, 2.0f, 3.0f});
  DepthCompressor compressor;
  CompressedDepth compressed;
  CloudEncoder cloud_encoder;
  DepthImageEncoder image_encoder;
  for (const ImageMessage & image : images()) {
    SCOPED_TRACE(size_of(image));
    std::vector<std::uint16_t> scratch;
    const DepthPixels depth(view_of(image), "camera 1", scratch);
    // Once a frame: one compression, two payloads.
    compressor.compress(depth, compressed);
    std::vector<std::uint8_t> cloud_once;
    std::vector<std::uint8_t> image_once;
    write_depth_cloud_payload(compressed, intrinsics, extrinsic, cloud_once);
    write_depth_image_payload(compressed, image_once);
    // Each subtopic on its own.
    std::vector<std::uint8_t> cloud_alone;
    std::vector<std::uint8_t> image_alone;
    cloud_encoder.encode_depth(depth, intrinsics, extrinsic, cloud_alone);
    image_encoder.encode(depth, image_alone);
    EXPECT_EQ(cloud_once, cloud_alone);
    EXPECT_EQ(image_once, image_alone);
  }
}

TEST(CompressedDepth, EveryImageComesBackAsItsCloudAndItsMillimetres)
{
  const CameraIntrinsics intrinsics{50.0f, 50.0f, 30.0f, 4.0f};
  DepthCompressor compressor;
  CompressedDepth compressed;
  CloudDecoder cloud_decoder;
  DepthImageDecoder image_decoder;
  for (const ImageMessage & image : images()) {
    SCOPED_TRACE(size_of(image));
    std::vector<std::uint16_t> scratch;
    const DepthPixels depth(view_of(image), "camera 1", scratch);
    compressor.compress(depth, compressed);
    std::vector<std::uint8_t> payload;
    write_depth_image_payload(compressed, payload);
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::vector<std::uint16_t> millimetres;
    image_decoder.decode(payload.data(), payload.size(), width, height, millimetres);
    EXPECT_EQ(width, image.width);
    EXPECT_EQ(height, image.height);
    EXPECT_EQ(test::make_depth_image(width, height, millimetres).data, image.data);

    write_depth_cloud_payload(compressed, intrinsics, ExtrinsicTransform::Identity(), payload);
    pcl::PCLPointCloud2 expected;
    ArmCloudWriter().write(depth, intrinsics, ExtrinsicTransform::Identity(), expected);
    pcl::PCLPointCloud2 decoded;
    cloud_decoder.decode(payload, expected, decoded);
    EXPECT_EQ(decoded.data, expected.data);
  }
}

TEST(CompressedDepth, ACameraTheDecoderWouldRefuseIsRefusedWhenWrapped)
{
  DepthCompressor compressor;
  CompressedDepth compressed;
  const ImageMessage image = test::noisy_depth(4, 4, 15);
  std::vector<std::uint16_t> scratch;
  compressor.compress(DepthPixels(view_of(image), "camera 1", scratch), compressed);
  std::vector<std::uint8_t> payload;
  EXPECT_THROW(
    write_depth_cloud_payload(
      compressed, CameraIntrinsics{0.0f, 1.0f, 0.0f, 0.0f}, ExtrinsicTransform::Identity(),
      payload),
    CloudCodecError);
}

}  // namespace
}  // namespace tavrinox_camera_convertor
