// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// Depth images sent through the lossless depth code come back as the same millimetres, whatever
// their row padding or byte order; a payload that is anything but what the encoder wrote is
// refused with CloudCodecError and a text that says why.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "codec/cloud_codec_round_trip.hpp"
#include "tavrinox_camera_convertor/codec/cloud_codec_error.hpp"
#include "tavrinox_camera_convertor/codec/depth_image_codec.hpp"
#include "tavrinox_camera_convertor/geometry/depth_pixels.hpp"
#include "tavrinox_camera_convertor/geometry/image.hpp"
#include "test_support.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

/// The millimetres of `image`, row by row without padding, in host order.
std::vector<std::uint16_t> millimetres_of(const ImageMessage & image)
{
  std::vector<std::uint16_t> scratch;
  const DepthPixels depth(view_of(image), "camera 1", scratch);
  std::vector<std::uint16_t> values;
  for (std::uint32_t i = 0; i < depth.height(); ++i) {
    for (std::uint32_t j = 0; j < depth.width(); ++j) {
      values.push_back(DepthPixels::at(depth.row(i), j));
    }
  }
  return values;
}

std::vector<std::uint8_t> encode(DepthImageEncoder & encoder, const ImageMessage & image)
{
  std::vector<std::uint16_t> scratch;
  const DepthPixels depth(view_of(image), "camera 1", scratch);
  std::vector<std::uint8_t> payload;
  encoder.encode(depth, payload);
  return payload;
}

/// `image` with each row padded by `padding` bytes and its 16-bit values byte-swapped.
ImageMessage padded_and_swapped(const ImageMessage & image, std::uint32_t padding)
{
  ImageMessage other = image;
  other.step = image.step + padding;
  other.is_bigendian = image.is_bigendian ? 0 : 1;
  other.data.assign(static_cast<std::size_t>(other.step) * image.height, 0xee);
  for (std::uint32_t i = 0; i < image.height; ++i) {
    for (std::uint32_t j = 0; j < 2 * image.width; j += 2) {
      const std::size_t from = static_cast<std::size_t>(i) * image.step + j;
      const std::size_t to = static_cast<std::size_t>(i) * other.step + j;
      other.data[to] = image.data[from + 1];
      other.data[to + 1] = image.data[from];
    }
  }
  return other;
}

void expect_refused(
  DepthImageDecoder & decoder, const std::vector<std::uint8_t> & payload,
  const std::string & text)
{
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::vector<std::uint16_t> millimetres;
  try {
    decoder.decode(payload.data(), payload.size(), width, height, millimetres);
    ADD_FAILURE() << "accepted; expected: " << text;
  } catch (const CloudCodecError & error) {
    EXPECT_NE(std::string(error.what()).find(text), std::string::npos) << error.what();
  }
}

TEST(DepthImageCodec, EveryImageComesBackAsTheSameMillimetres)
{
  DepthImageEncoder encoder;
  DepthImageDecoder decoder;
  const ImageMessage noisy = test::noisy_depth(640, 480, 3);
  std::vector<ImageMessage> images = {
    noisy, padded_and_swapped(noisy, 6), test::noisy_depth(1, 1, 4), test::noisy_depth(7, 3, 5),
    test::make_depth_image(5, 2, std::vector<std::uint16_t>(10, 0)),
    test::make_depth_image(0, 0, {})};
  for (const ImageMessage & image : images) {
    // One encoder and decoder for the whole stream, as a transport keeps them.
    const std::vector<std::uint8_t> payload = encode(encoder, image);
    std::uint32_t width = 99;
    std::uint32_t height = 99;
    std::vector<std::uint16_t> millimetres(3, 7);
    decoder.decode(payload.data(), payload.size(), width, height, millimetres);
    EXPECT_EQ(width, image.width);
    EXPECT_EQ(height, image.height);
    EXPECT_EQ(millimetres, millimetres_of(image)) << image.width << " x " << image.height;
  }
  // Even +-3 mm noise with a quarter of the pixels missing at random, about as hard as depth
  // gets, takes half the bytes.
  EXPECT_LT(encode(encoder, noisy).size(), noisy.data.size() * 6 / 10);
  EXPECT_EQ(encode(encoder, images[1]), encode(encoder, noisy)) << "padding or byte order leaked";
}

TEST(DepthImageCodecRefuses, PayloadsCutShortAnotherMagicOrVersion)
{
  DepthImageEncoder encoder;
  DepthImageDecoder decoder;
  const std::vector<std::uint8_t> valid = encode(encoder, test::noisy_depth(7, 3, 6));
  for (std::size_t size = 0; size < valid.size(); ++size) {
    const std::vector<std::uint8_t> cut(valid.begin(), valid.begin() + size);
    expect_refused(
      decoder, cut, size < 4 ? "not a depth image payload" :
      size < kDepthImagePayloadHeaderBytes ?
      "depth image payload of " + std::to_string(size) + " bytes ends inside its header" :
      "depth image");
  }
  std::vector<std::uint8_t> bytes = valid;
  bytes[3] = 'C';
  expect_refused(
    decoder, bytes, "not a depth image payload: it does not start with the bytes \"TXDI\"");
  bytes = valid;
  bytes[4] = 1;
  expect_refused(
    decoder, bytes, "depth image payload version 1 is not supported: this decoder reads "
    "version 2 (the sender's tavrinox_camera_convertor is older");
}

TEST(DepthImageCodecRefuses, SizesBeyondTheLimitsOrOtherThanTheFrameHolds)
{
  DepthImageEncoder encoder;
  const std::vector<std::uint8_t> valid = encode(encoder, test::noisy_depth(7, 3, 7));
  CloudDecoderLimits small;
  small.max_pixels = 20;
  DepthImageDecoder limited(small);
  expect_refused(limited, valid, "its 7 x 3 image is beyond this decoder's limit of 20 pixels");

  DepthImageDecoder decoder;
  std::vector<std::uint8_t> bytes = valid;
  // 65536 x 65536 pixels: refused before anything of that size is allocated.
  for (const std::size_t at : {5u, 9u}) {
    bytes[at] = 0;
    bytes[at + 1] = 0;
    bytes[at + 2] = 1;
    bytes[at + 3] = 0;
  }
  expect_refused(decoder, bytes, "its 65536 x 65536 image is beyond this decoder's limit");
  bytes = valid;
  bytes[5] = 8;  // 8 x 3: the frame holds 7 x 3
  expect_refused(decoder, bytes, "depth image");

  int refused = 0;
  for (std::size_t at = kDepthImagePayloadHeaderBytes; at < valid.size(); ++at) {
    for (int bit = 0; bit < 8; ++bit) {
      bytes = valid;
      bytes[at] ^= static_cast<std::uint8_t>(1u << bit);
      std::uint32_t width = 0;
      std::uint32_t height = 0;
      std::vector<std::uint16_t> millimetres;
      try {
        decoder.decode(bytes.data(), bytes.size(), width, height, millimetres);
        // The frame's checksum covers the content; what still decodes is the image itself.
        EXPECT_EQ(millimetres, millimetres_of(test::noisy_depth(7, 3, 7))) << at << ":" << bit;
      } catch (const CloudCodecError &) {
        ++refused;
      }
    }
  }
  EXPECT_GT(refused, 8 * static_cast<int>(valid.size() - kDepthImagePayloadHeaderBytes) / 2);
}

}  // namespace
}  // namespace tavrinox_camera_convertor
