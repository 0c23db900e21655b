// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// Clouds sent as their depth images, or as their data, come back bit for bit: every cloud of a
// frame in every instruction set, clouds without a point, a stream of changing sizes and kinds,
// and any cloud whatever its layout.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "codec/cloud_codec_round_trip.hpp"
#include "tavrinox_camera_convertor/codec/cloud_codec_error.hpp"
#include "tavrinox_camera_convertor/codec/cloud_decoder.hpp"
#include "tavrinox_camera_convertor/codec/cloud_encoder.hpp"
#include "tavrinox_camera_convertor/codec/depth_source_copy.hpp"
#include "tavrinox_camera_convertor/geometry/cloud_encoding.hpp"
#include "tavrinox_camera_convertor/geometry/extrinsic_transform.hpp"
#include "tavrinox_camera_convertor/geometry/instruction_set.hpp"
#include "test_support.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

using test::noisy_depth;

/// Two cameras that differ in every value, looking at the plane from either side.
CameraConfig two_cameras(std::uint32_t width, std::uint32_t height)
{
  CameraConfig config = test::identity_config();
  const float w = static_cast<float>(width);
  const float h = static_cast<float>(height);
  config.intrinsics_1 = {0.9f * w + 1.0f, 0.9f * w + 1.5f, (w - 1.0f) / 2.0f, (h - 1.0f) / 2.0f};
  config.intrinsics_2 = {0.8f * w + 2.0f, 0.85f * w + 1.0f, w / 2.0f - 0.3f, h / 2.0f + 0.2f};
  config.extrinsic_1 = make_extrinsic_transform({-137.0f, 2.0f, -32.5f}, {0.25f, -0.55f, 0.75f});
  config.extrinsic_2 = make_extrinsic_transform({-140.0f, -3.0f, 35.0f}, {0.3f, 0.6f, 0.7f});
  return config;
}

TEST(CloudCodec, EveryCloudOfAFrameComesBackBitForBitInEveryInstructionSet)
{
  struct Size
  {
    std::uint32_t width;
    std::uint32_t height;
  };
  // Odd sizes leave tails to the vector loops; 1 x 1 and 0 x 0 are the least there is.
  const Size sizes[] = {{37, 23}, {9, 1}, {1, 7}, {1, 1}, {0, 0}};
  CloudEncoder encoder;
  for (const InstructionSet set : test::supported_instruction_sets()) {
    CloudDecoder decoder(CloudDecoderLimits(), set);
    for (const Size size : sizes) {
      const std::string what = std::to_string(size.width) + " x " +
        std::to_string(size.height) + " in " + to_string(set);
      const test::KeptFrame kept = test::run_kept_frame(
        two_cameras(size.width, size.height), noisy_depth(size.width, size.height, 1),
        noisy_depth(size.width, size.height, 2));
      test::expect_clouds_round_trip(kept, encoder, decoder, what);
    }
  }
}

TEST(CloudCodec, CloudsWithoutAnyPointComeBackEmpty)
{
  const std::vector<std::uint16_t> nothing_measured(12, 0);
  const test::KeptFrame kept = test::run_kept_frame(
    two_cameras(4, 3), test::make_depth_image(4, 3, nothing_measured),
    test::make_depth_image(0, 5, {}));
  CloudEncoder encoder;
  CloudDecoder decoder;
  test::expect_clouds_round_trip(kept, encoder, decoder, "nothing measured");
  for (const OutputKind cloud : test::kClouds) {
    EXPECT_EQ(cloud_of(kept.products, cloud).cloud.width, 0u);
  }
}

TEST(CloudCodec, OneEncoderAndDecoderServeAStreamOfChangingSizesAndKinds)
{
  CloudEncoder encoder;
  CloudDecoder decoder;
  std::vector<std::uint8_t> payload;
  pcl::PCLPointCloud2 out;
  // Large, small and large again, each followed by a data payload: no buffer may keep stale
  // bytes from the one before.
  for (const std::uint32_t width : {64u, 5u, 64u, 3u}) {
    const test::KeptFrame kept = test::run_kept_frame(
      two_cameras(width, 11), noisy_depth(width, 11, width), noisy_depth(width, 11, width + 1));
    const pcl::PCLPointCloud2 & original = cloud_of(kept.products, OutputKind::cam1_cloud).cloud;
    encoder.encode_depth(kept.sources[0], payload);
    EXPECT_EQ(decoder.decode(payload, layout_of(original), out), CloudPayloadKind::depth_image);
    test::expect_same_cloud(out, original, "width " + std::to_string(width));
    const DepthSourceCopy & decoded = decoder.last_depth_source();
    EXPECT_EQ(decoded.millimetres(), kept.sources[0].millimetres());
    EXPECT_EQ(decoded.width(), width);
    EXPECT_EQ(std::memcmp(&decoded.intrinsics(), &kept.sources[0].intrinsics(), 16), 0);
    EXPECT_EQ(decoded.extrinsic(), kept.sources[0].extrinsic());

    const pcl::PCLPointCloud2 & other = cloud_of(kept.products, OutputKind::cam2_cloud).cloud;
    encoder.encode_cloud_data(other, payload);
    EXPECT_EQ(decoder.decode(payload, layout_of(other), out), CloudPayloadKind::cloud_data);
    test::expect_same_cloud(out, other, "data of width " + std::to_string(width));
  }
}

TEST(CloudCodec, DecodesIntoTheLayoutItWasGivenAndKeepsTheHeader)
{
  const test::KeptFrame kept =
    test::run_kept_frame(two_cameras(6, 4), noisy_depth(6, 4, 3), noisy_depth(6, 4, 4));
  const pcl::PCLPointCloud2 & original = cloud_of(kept.products, OutputKind::converted_cloud).cloud;
  CloudEncoder encoder;
  CloudDecoder decoder;
  std::vector<std::uint8_t> payload;
  encoder.encode_depth(kept.sources[2], payload);
  pcl::PCLPointCloud2 in_place = layout_of(original);
  in_place.header.frame_id = "arm_base";
  in_place.header.stamp = 1234567;
  decoder.decode(payload, in_place, in_place);
  test::expect_same_cloud(in_place, original, "depth payload in place");
  EXPECT_EQ(in_place.header.frame_id, "arm_base");
  EXPECT_EQ(in_place.header.stamp, 1234567u);

  encoder.encode_cloud_data(original, payload);
  pcl::PCLPointCloud2 data_in_place = layout_of(original);
  decoder.decode(payload, data_in_place, data_in_place);
  test::expect_same_cloud(data_in_place, original, "data payload in place");
}

TEST(CloudCodec, AnyCloudComesBackThroughItsData)
{
  // Organized, padded points and rows, another byte order, not dense: nothing is assumed.
  pcl::PCLPointCloud2 organized;
  organized.height = 3;
  organized.width = 4;
  organized.point_step = 20;
  organized.row_step = 4 * 20 + 8;
  organized.is_bigendian = 1;
  organized.is_dense = 0;
  for (const char * name : {"x", "y", "z", "rgb"}) {
    pcl::PCLPointField field;
    field.name = name;
    field.offset = static_cast<std::uint32_t>(4 * organized.fields.size());
    field.datatype = pcl::PCLPointField::FLOAT32;
    field.count = 1;
    organized.fields.push_back(field);
  }
  organized.data.resize(organized.row_step * organized.height);
  std::mt19937 random(7);
  for (std::uint8_t & byte : organized.data) {
    byte = static_cast<std::uint8_t>(random());
  }
  pcl::PCLPointCloud2 empty;
  prepare_xyz_cloud(0, empty);

  CloudEncoder encoder;
  CloudDecoder decoder;
  std::vector<std::uint8_t> payload;
  for (const pcl::PCLPointCloud2 * cloud : {&organized, &empty, &organized}) {
    encoder.encode_cloud_data(*cloud, payload);
    pcl::PCLPointCloud2 out;
    EXPECT_EQ(decoder.decode(payload, layout_of(*cloud), out), CloudPayloadKind::cloud_data);
    test::expect_same_cloud(out, *cloud, "cloud of " + std::to_string(cloud->width) + " points");
  }

  organized.data.pop_back();
  try {
    encoder.encode_cloud_data(organized, payload);
    FAIL() << "a cloud whose data is shorter than its rows was encoded";
  } catch (const CloudCodecError & error) {
    EXPECT_NE(std::string(error.what()).find("holds 263 bytes"), std::string::npos)
      << error.what();
  }
}

}  // namespace
}  // namespace tavrinox_camera_convertor
