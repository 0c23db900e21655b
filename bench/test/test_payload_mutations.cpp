// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// 2000 spoilt copies each of a camera-like frame's payloads (its cloud as its depth image and as
// its data, its depth image, its colour image): each is refused or decodes into exactly what was
// encoded, never into anything else. tavrinox_payload_mutation_check does the same at 1280 x 720.
#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "camera_like_frame.hpp"
#include "payload_mutation.hpp"
#include "tavrinox_camera_convertor/codec/cloud_codec_error.hpp"
#include "tavrinox_camera_convertor/codec/cloud_decoder.hpp"
#include "tavrinox_camera_convertor/codec/cloud_encoder.hpp"
#include "tavrinox_camera_convertor/codec/color_image_codec.hpp"
#include "tavrinox_camera_convertor/codec/depth_image_codec.hpp"
#include "tavrinox_camera_convertor/geometry/arm_cloud.hpp"
#include "tavrinox_camera_convertor/geometry/camera_config.hpp"

namespace tavrinox_camera_convertor::bench
{
namespace
{

constexpr std::size_t kCopies = 2000;
constexpr std::uint64_t kSeed = 7;

class PayloadMutations : public ::testing::Test
{
protected:
  void SetUp() override
  {
    std::ostringstream matrices;
    frame_ = camera_like_frame(
      load_camera_config(TAVRINOX_DEFAULT_CONFIG_PATH, matrices), 160, 120);
    ArmCloudWriter().write(depth(), frame_.intrinsics, frame_.extrinsic, cloud_);
  }

  DepthPixels depth() {return DepthPixels(view_of(frame_.depth), "camera 1", scratch_);}

  /// Expects every copy refused or decoded identical, and some of each kind refused.
  static void expect_none_different(const MutationTally & tally)
  {
    EXPECT_EQ(tally.copies, kCopies);
    EXPECT_EQ(tally.count(Decoded::different), 0u);
    EXPECT_GT(tally.count(Decoded::refused), kCopies * 9 / 10);
  }

  Decoded decode_cloud(const std::uint8_t * copy, std::size_t size)
  {
    pcl::PCLPointCloud2 decoded;
    try {
      cloud_decoder_.decode(copy, size, layout_of(cloud_), decoded);
    } catch (const CloudCodecError &) {
      return Decoded::refused;
    }
    return decoded.data == cloud_.data && decoded.width == cloud_.width ?
           Decoded::identical : Decoded::different;
  }

  CameraLikeFrame frame_;
  std::vector<std::uint16_t> scratch_;
  pcl::PCLPointCloud2 cloud_;
  CloudDecoder cloud_decoder_;
};

TEST_F(PayloadMutations, ACloudAsItsDepthImageNeverDecodesIntoAnotherCloud)
{
  std::vector<std::uint8_t> payload;
  CloudEncoder().encode_depth(depth(), frame_.intrinsics, frame_.extrinsic, payload);
  expect_none_different(
    tally_mutations(
      payload, kCopies, kSeed, [this](const std::uint8_t * copy, std::size_t size) {
        return decode_cloud(copy, size);
      }));
}

TEST_F(PayloadMutations, ACloudAsItsDataNeverDecodesIntoAnotherCloud)
{
  std::vector<std::uint8_t> payload;
  CloudEncoder().encode_cloud_data(cloud_, payload);
  expect_none_different(
    tally_mutations(
      payload, kCopies, kSeed, [this](const std::uint8_t * copy, std::size_t size) {
        return decode_cloud(copy, size);
      }));
}

TEST_F(PayloadMutations, ADepthImageNeverDecodesIntoAnotherImage)
{
  std::vector<std::uint8_t> payload;
  DepthImageEncoder().encode(depth(), payload);
  DepthImageDecoder decoder;
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::vector<std::uint16_t> original;
  decoder.decode(payload.data(), payload.size(), width, height, original);
  std::vector<std::uint16_t> millimetres;
  expect_none_different(
    tally_mutations(
      payload, kCopies, kSeed, [&](const std::uint8_t * copy, std::size_t size) {
        try {
          decoder.decode(copy, size, width, height, millimetres);
        } catch (const CloudCodecError &) {
          return Decoded::refused;
        }
        return width == 160 && height == 120 && millimetres == original ?
        Decoded::identical : Decoded::different;
      }));
}

TEST_F(PayloadMutations, AColourImageNeverDecodesIntoAnotherImage)
{
  std::vector<std::uint8_t> payload;
  ColorImageEncoder().encode(view_of(frame_.colour), payload);
  ColorImageDecoder decoder;
  std::vector<std::uint8_t> pixels;
  expect_none_different(
    tally_mutations(
      payload, kCopies, kSeed, [&](const std::uint8_t * copy, std::size_t size) {
        std::uint32_t width = 0;
        std::uint32_t height = 0;
        ColorLayout layout = ColorLayout::rgb8;
        try {
          layout = decoder.decode(copy, size, width, height, pixels);
        } catch (const CloudCodecError &) {
          return Decoded::refused;
        }
        return layout == ColorLayout::bgr8 && width == 160 && height == 120 &&
        pixels == frame_.colour.data ? Decoded::identical : Decoded::different;
      }));
}

}  // namespace
}  // namespace tavrinox_camera_convertor::bench
