// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// Arbitrary payloads into the colour image decoder, as the colour image transport receives them
// from the network. Decoding must either give an image or throw CloudCodecError; an image it
// gives must be width x height pixels of its layout's channels within the limits, and encoding
// it again and decoding that must give the same layout, size and bytes.
#include <cstddef>
#include <cstdint>
#include <exception>
#include <string>
#include <vector>

#include "codec_fuzz_limits.hpp"
#include "codec_refusal.hpp"
#include "fuzz_finding.hpp"
#include "tavrinox_camera_convertor/codec/color_image_codec.hpp"
#include "tavrinox_camera_convertor/geometry/image.hpp"

namespace tavrinox_camera_convertor::fuzz
{
namespace
{

/// Whether the colour decoder took `payload`, under the rule of codec_refusal.hpp.
bool decode(
  ColorImageDecoder & decoder, const std::uint8_t * payload, std::size_t size,
  ColorLayout & layout, std::uint32_t & width, std::uint32_t & height,
  std::vector<std::uint8_t> & pixels)
{
  return decoded_or_refused(
    [&] {layout = decoder.decode(payload, size, width, height, pixels);});
}

/// @brief One input: decoded, encoded again and decoded again to the same image, or refused.
int check_colour_payload(const std::uint8_t * data, std::size_t size)
{
  ColorImageDecoder decoder(codec_fuzz_limits());
  ColorLayout layout = ColorLayout::rgb8;
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::vector<std::uint8_t> pixels;
  if (!decode(decoder, data, size, layout, width, height, pixels)) {
    return 0;
  }
  const std::uint64_t count = width == 0 || height == 0 ? 0 :
    static_cast<std::uint64_t>(width) * height;
  require(
    pixels.size() == channels_of(layout) * count,
    "the decoded image is not width x height pixels of its channels");
  require(count <= codec_fuzz_limits().max_pixels, "decoded beyond the pixel limit");
  require(pixels.size() <= codec_fuzz_limits().max_decoded_bytes, "decoded beyond the limit");

  // What was decoded, encoded again, must decode to the very same image.
  ImageView view;
  view.width = width;
  view.height = height;
  view.encoding = encoding_of(layout);
  view.step = channels_of(layout) * width;
  view.data = pixels.data();
  view.size = pixels.size();
  std::vector<std::uint8_t> again;
  try {
    ColorImageEncoder().encode(view, again);
  } catch (const std::exception & error) {
    finding(std::string("a decoded image could not be encoded again: ") + error.what());
  }
  ColorLayout second_layout = ColorLayout::rgb8;
  std::uint32_t second_width = 0;
  std::uint32_t second_height = 0;
  std::vector<std::uint8_t> second;
  require(
    decode(
      decoder, again.data(), again.size(), second_layout, second_width, second_height, second),
    "a payload encoded from a decoded image was refused");
  require(
    second_layout == layout && second_width == width && second_height == height &&
    second == pixels, "encoded again and decoded, the image changed");
  return 0;
}

}  // namespace
}  // namespace tavrinox_camera_convertor::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t * data, std::size_t size)
{
  return tavrinox_camera_convertor::fuzz::check_colour_payload(data, size);
}
