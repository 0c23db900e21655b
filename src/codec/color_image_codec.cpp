// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "tavrinox_camera_convertor/codec/color_image_codec.hpp"

#include <limits>
#include <string>

#include "color_code.hpp"
#include "content_digest.hpp"
#include "payload_bytes.hpp"
#include "tavrinox_camera_convertor/codec/cloud_codec_error.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

constexpr ColorLayout kLayouts[] = {
  ColorLayout::rgb8, ColorLayout::bgr8, ColorLayout::rgba8, ColorLayout::bgra8};

/// Refuses a row of `width` pixels of `channels` bytes that an image message's step cannot hold.
void require_row_fits_a_step(std::uint32_t width, unsigned channels, const char * what)
{
  if (static_cast<std::uint64_t>(width) * channels > std::numeric_limits<std::uint32_t>::max()) {
    throw CloudCodecError(
            std::string(what) + ": a row of " + std::to_string(width) + " pixels of " +
            std::to_string(channels) + " bytes is longer than an image message's step can "
            "describe");
  }
}

}  // namespace

std::optional<ColorLayout> color_layout_of(std::string_view encoding)
{
  for (const ColorLayout layout : kLayouts) {
    if (encoding == encoding_of(layout)) {
      return layout;
    }
  }
  return std::nullopt;
}

const char * encoding_of(ColorLayout layout)
{
  switch (layout) {
    case ColorLayout::rgb8:
      return "rgb8";
    case ColorLayout::bgr8:
      return "bgr8";
    case ColorLayout::rgba8:
      return "rgba8";
    case ColorLayout::bgra8:
      break;
  }
  return "bgra8";
}

unsigned channels_of(ColorLayout layout)
{
  return layout == ColorLayout::rgba8 || layout == ColorLayout::bgra8 ? 4 : 3;
}

ColorImageEncoder::ColorImageEncoder(const ZstdTuning & tuning)
: context_(make_zstd_compression_context(tuning))
{
}

void ColorImageEncoder::encode(const ImageView & image, std::vector<std::uint8_t> & payload)
{
  const std::optional<ColorLayout> layout = color_layout_of(image.encoding);
  if (!layout) {
    throw CloudCodecError(
            "cannot encode a colour image of encoding \"" + std::string(image.encoding) +
            "\": the colour code carries rgb8, bgr8, rgba8 and bgra8");
  }
  const unsigned channels = channels_of(*layout);
  const bool empty = image.width == 0 || image.height == 0;
  const std::size_t row_bytes = static_cast<std::size_t>(image.width) * channels;
  if (!empty) {
    require_row_fits_a_step(image.width, channels, "cannot encode a colour image");
    if (image.step < row_bytes ||
      image.size / image.step < image.height)
    {
      throw CloudCodecError(
              "cannot encode a colour image of " + std::to_string(image.width) + " x " +
              std::to_string(image.height) + " pixels with a step of " +
              std::to_string(image.step) + " bytes and " + std::to_string(image.size) +
              " bytes of data: its rows do not lie inside its data");
    }
  }
  const std::size_t code_bytes = empty ? 0 : row_bytes * image.height;
  if (code_.size() < code_bytes) {
    code_.resize(code_bytes);
  }
  detail::ContentDigest digest;
  if (!empty) {
    detail::color_to_code(
      image.data, image.step, image.width, image.height, channels, code_.data());
    for (std::uint32_t i = 0; i < image.height; ++i) {
      digest.add(image.data + static_cast<std::size_t>(i) * image.step, row_bytes);
    }
  }
  const std::size_t frame_size = compress_zstd_frame(*context_, code_.data(), code_bytes, room_);
  payload.clear();
  detail::PayloadWriter writer(payload);
  writer.prefix(kColorImagePayloadMagic, kColorImagePayloadVersion);
  writer.u8(static_cast<std::uint8_t>(*layout));
  writer.u32(image.width);
  writer.u32(image.height);
  writer.checksum(digest.value());
  writer.bytes(room_.data(), frame_size);
}

ColorImageDecoder::ColorImageDecoder(CloudDecoderLimits limits)
: limits_(limits), context_(make_zstd_decompression_context())
{
}

ColorLayout ColorImageDecoder::decode(
  const std::uint8_t * payload, std::size_t size, std::uint32_t & width, std::uint32_t & height,
  std::vector<std::uint8_t> & pixels)
{
  detail::PayloadReader reader(payload, size, "colour image payload");
  reader.prefix(
    kColorImagePayloadMagic, kColorImagePayloadVersion, "colour image payload", "TXCI");
  const std::uint8_t layout_byte = reader.u8();
  if (layout_byte < 1 || layout_byte > 4) {
    throw CloudCodecError(
            "colour image payload layout " + std::to_string(layout_byte) + " is unknown (1: "
            "rgb8, 2: bgr8, 3: rgba8, 4: bgra8)");
  }
  const auto layout = static_cast<ColorLayout>(layout_byte);
  width = reader.u32();
  height = reader.u32();
  reader.read_checksum();
  const unsigned channels = channels_of(layout);
  // Neither factor exceeds 32 bits, so the product fits 64, and four times it too.
  const std::uint64_t count = width == 0 || height == 0 ? 0 :
    static_cast<std::uint64_t>(width) * height;
  const std::uint64_t bytes = channels * count;
  if (count > limits_.max_pixels || bytes > limits_.max_decoded_bytes) {
    throw CloudCodecError(
            "colour image payload: its " + std::to_string(width) + " x " +
            std::to_string(height) + " " + encoding_of(layout) + " image is beyond this "
            "decoder's limit of " + std::to_string(limits_.max_pixels) + " pixels or " +
            std::to_string(limits_.max_decoded_bytes) + " bytes");
  }
  if (count != 0) {
    require_row_fits_a_step(width, channels, "colour image payload");
  }
  decompress_zstd_frame(*context_, reader.here(), reader.left(), bytes, "colour image", code_);
  pixels.resize(static_cast<std::size_t>(bytes));
  if (count != 0) {
    detail::code_to_color(code_.data(), width, height, channels, pixels.data());
  }
  detail::ContentDigest digest;
  digest.add(pixels.data(), pixels.size());
  reader.require_checksum(digest.value());
  return layout;
}

}  // namespace tavrinox_camera_convertor
