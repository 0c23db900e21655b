// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// Colour images sent through the lossless colour code come back as the same bytes, for every
// encoding it carries and every kind of image; anything else is refused with CloudCodecError and
// a text that says why, and a payload changed on the way never decodes into another image.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "tavrinox_camera_convertor/codec/cloud_codec_error.hpp"
#include "tavrinox_camera_convertor/codec/color_image_codec.hpp"
#include "tavrinox_camera_convertor/geometry/image.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

/// An image of `width` x `height` pixels of `encoding` whose byte k of pixel (i, j) is
/// `byte(i, j, k)`, each row followed by `padding` bytes of 0xee.
template<typename Byte>
ImageMessage image_of(
  const std::string & encoding, std::uint32_t width, std::uint32_t height, std::uint32_t padding,
  Byte byte)
{
  const unsigned channels = encoding.size() == 5 ? 4 : 3;
  ImageMessage image;
  image.encoding = encoding;
  image.width = width;
  image.height = height;
  image.step = channels * width + padding;
  image.data.assign(static_cast<std::size_t>(image.step) * height, 0xee);
  for (std::uint32_t i = 0; i < height; ++i) {
    for (std::uint32_t j = 0; j < width; ++j) {
      for (unsigned k = 0; k < channels; ++k) {
        image.data[i * image.step + channels * j + k] = static_cast<std::uint8_t>(byte(i, j, k));
      }
    }
  }
  return image;
}

/// The rows of `image` without their padding.
std::vector<std::uint8_t> packed(const ImageMessage & image)
{
  const std::size_t row = image.encoding.size() == 5 ? 4 * image.width : 3 * image.width;
  std::vector<std::uint8_t> bytes;
  for (std::uint32_t i = 0; i < image.height; ++i) {
    const auto first = image.data.begin() + static_cast<std::ptrdiff_t>(i * image.step);
    bytes.insert(bytes.end(), first, first + static_cast<std::ptrdiff_t>(row));
  }
  return bytes;
}

struct ImageKind
{
  const char * name;
  std::uint32_t width;
  std::uint32_t height;
  std::uint32_t padding;
  int (* byte)(std::uint32_t i, std::uint32_t j, unsigned k);
};

int camera_noise(std::uint32_t i, std::uint32_t j, unsigned k)
{
  // A shaded surface with noise that differs between channels: a hash of the position.
  const std::uint32_t hash = (i * 73856093u) ^ (j * 19349663u) ^ (k * 83492791u);
  return static_cast<int>(60 + i + 2 * j + 40 * k + hash % 9);
}

int flat(std::uint32_t i, std::uint32_t j, unsigned k)
{
  return (i / 8 + j / 8) % 2 == 0 ? 30 + 50 * static_cast<int>(k) : 200;
}

int full_range(std::uint32_t i, std::uint32_t j, unsigned k)
{
  std::mt19937 random(i * 100003u + j * 31u + k);
  return static_cast<int>(random() & 0xff);
}

int extremes(std::uint32_t i, std::uint32_t j, unsigned k)
{
  return (i + j + k) % 2 == 0 ? 0 : 255;
}

const ImageKind kKinds[] = {
  {"camera-like noise", 64, 48, 0, camera_noise},
  {"flat colours", 130, 5, 0, flat},
  {"full-range noise", 67, 9, 0, full_range},
  {"alternating 0 and 255", 65, 4, 0, extremes},
  {"padded rows", 70, 6, 5, camera_noise},
  {"one pixel", 1, 1, 0, camera_noise},
  {"one row", 200, 1, 0, camera_noise},
  {"one column", 1, 50, 3, camera_noise},
  {"no pixel", 0, 0, 0, camera_noise},
  {"zero width, five rows", 0, 5, 0, camera_noise},
};

const char * const kEncodings[] = {"rgb8", "bgr8", "rgba8", "bgra8"};

TEST(ColorImageCodec, EveryEncodingAndKindOfImageComesBackByteForByte)
{
  // One encoder and decoder for the whole stream, as a transport keeps them.
  ColorImageEncoder encoder;
  ColorImageDecoder decoder;
  for (const char * encoding : kEncodings) {
    for (const ImageKind & kind : kKinds) {
      SCOPED_TRACE(std::string(encoding) + ", " + kind.name);
      const ImageMessage image =
        image_of(encoding, kind.width, kind.height, kind.padding, kind.byte);
      std::vector<std::uint8_t> payload;
      encoder.encode(view_of(image), payload);
      std::uint32_t width = 99;
      std::uint32_t height = 99;
      std::vector<std::uint8_t> pixels(5, 1);
      const ColorLayout layout =
        decoder.decode(payload.data(), payload.size(), width, height, pixels);
      EXPECT_STREQ(encoding_of(layout), encoding);
      EXPECT_EQ(width, kind.width);
      EXPECT_EQ(height, kind.height);
      EXPECT_EQ(pixels, packed(image));
    }
  }
}

TEST(ColorImageCodec, NoisyAndFlatImagesTakeFewerBytesThanRaw)
{
  ColorImageEncoder encoder;
  std::vector<std::uint8_t> payload;
  // Noise of nine levels a channel, independent between channels: about 3.2 bits a byte.
  const ImageMessage noisy = image_of("rgb8", 320, 240, 0, camera_noise);
  encoder.encode(view_of(noisy), payload);
  EXPECT_LT(payload.size(), noisy.data.size() * 6 / 10);
  const ImageMessage checkers = image_of("rgb8", 320, 240, 0, flat);
  encoder.encode(view_of(checkers), payload);
  EXPECT_LT(payload.size(), checkers.data.size() / 50);
}

TEST(ColorImageCodecRefuses, EncodingsItDoesNotCarryAndRowsOutsideTheData)
{
  ColorImageEncoder encoder;
  std::vector<std::uint8_t> payload;
  for (const char * encoding : {"mono8", "16UC1", "rgb16", "bayer_rggb8", "RGB8", ""}) {
    ImageMessage image = image_of("rgb8", 4, 2, 0, flat);
    image.encoding = encoding;
    EXPECT_THROW(encoder.encode(view_of(image), payload), CloudCodecError) << encoding;
  }
  ImageMessage short_step = image_of("rgb8", 4, 2, 0, flat);
  short_step.step = 11;
  EXPECT_THROW(encoder.encode(view_of(short_step), payload), CloudCodecError);
  ImageMessage short_data = image_of("bgra8", 4, 2, 0, flat);
  short_data.data.pop_back();
  EXPECT_THROW(encoder.encode(view_of(short_data), payload), CloudCodecError);
}

/// Expects decoding `payload` to throw CloudCodecError whose text holds `expected`.
void expect_refused(
  ColorImageDecoder & decoder, const std::vector<std::uint8_t> & payload,
  const std::string & expected)
{
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::vector<std::uint8_t> pixels;
  try {
    decoder.decode(payload.data(), payload.size(), width, height, pixels);
    ADD_FAILURE() << "decoded, expected a refusal saying \"" << expected << "\"";
  } catch (const CloudCodecError & error) {
    EXPECT_NE(std::string(error.what()).find(expected), std::string::npos)
      << "text: " << error.what() << "\nexpected to hold: " << expected;
  }
}

std::vector<std::uint8_t> valid_payload()
{
  const ImageMessage image = image_of("bgr8", 9, 7, 0, camera_noise);
  std::vector<std::uint8_t> payload;
  ColorImageEncoder().encode(view_of(image), payload);
  return payload;
}

TEST(ColorImageCodecRefuses, PayloadsCutShortOfAnotherMagicVersionLayoutOrSize)
{
  const std::vector<std::uint8_t> valid = valid_payload();
  ColorImageDecoder decoder;
  for (std::size_t size = 0; size < valid.size(); ++size) {
    SCOPED_TRACE("cut to " + std::to_string(size) + " bytes");
    expect_refused(
      decoder, std::vector<std::uint8_t>(valid.begin(), valid.begin() + size),
      size < 4 ? "not a colour image payload" :
      size < kColorImagePayloadHeaderBytes ? "ends inside its header" :
      "the compressed colour image is not one whole zstd frame");
  }
  std::vector<std::uint8_t> bytes = valid;
  bytes[2] = 'D';
  expect_refused(decoder, bytes, "it does not start with the bytes \"TXCI\"");
  bytes = valid;
  bytes[4] = 2;
  expect_refused(
    decoder, bytes, "colour image payload version 2 is not supported: this decoder reads "
    "version 1 (the sender's tavrinox_camera_convertor is newer");
  for (const std::uint8_t layout : {0, 5, 255}) {
    bytes = valid;
    bytes[5] = layout;
    expect_refused(
      decoder, bytes, "colour image payload layout " + std::to_string(layout) + " is unknown");
  }
  bytes = valid;
  bytes[5] = 3;  // rgba8: four bytes a pixel, where the frame holds three
  expect_refused(decoder, bytes, "holds 189 bytes, but the payload's header makes it 252");
  bytes = valid;
  bytes[6] = 10;
  expect_refused(decoder, bytes, "holds 189 bytes, but the payload's header makes it 210");
  bytes = valid;
  bytes.push_back(0);
  expect_refused(decoder, bytes, "1 byte follows the compressed colour image");
}

TEST(ColorImageCodecRefuses, SizesBeyondTheLimitsBeforeAllocatingThem)
{
  const std::vector<std::uint8_t> valid = valid_payload();  // 9 x 7 bgr8
  CloudDecoderLimits limits;
  limits.max_pixels = 62;
  ColorImageDecoder few_pixels(limits);
  expect_refused(few_pixels, valid, "its 9 x 7 bgr8 image is beyond this decoder's limit");
  limits = CloudDecoderLimits();
  limits.max_decoded_bytes = 188;
  ColorImageDecoder few_bytes(limits);
  expect_refused(few_bytes, valid, "its 9 x 7 bgr8 image is beyond this decoder's limit");
  std::vector<std::uint8_t> huge = valid;
  for (std::size_t at = 6; at < 14; ++at) {
    huge[at] = 0xff;
  }
  ColorImageDecoder defaults;
  expect_refused(defaults, huge, "its 4294967295 x 4294967295 bgr8 image is beyond");
}

TEST(ColorImageCodecRefuses, EveryFlippedBitOrGivesTheSameImage)
{
  const std::vector<std::uint8_t> valid = valid_payload();
  const std::vector<std::uint8_t> original = packed(image_of("bgr8", 9, 7, 0, camera_noise));
  ColorImageDecoder decoder;
  for (std::size_t at = 0; at < valid.size(); ++at) {
    for (int bit = 0; bit < 8; ++bit) {
      std::vector<std::uint8_t> bytes = valid;
      bytes[at] ^= static_cast<std::uint8_t>(1u << bit);
      std::uint32_t width = 0;
      std::uint32_t height = 0;
      std::vector<std::uint8_t> pixels;
      try {
        decoder.decode(bytes.data(), bytes.size(), width, height, pixels);
        // Only a bit zstd does not read may change nothing; the header is all checked.
        EXPECT_GE(at, kColorImagePayloadHeaderBytes) << "byte " << at << " bit " << bit;
        EXPECT_EQ(pixels, original) << "byte " << at << " bit " << bit;
      } catch (const CloudCodecError &) {
      }
    }
  }
}

}  // namespace
}  // namespace tavrinox_camera_convertor
