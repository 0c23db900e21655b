// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// Arbitrary payloads into the colour image decoder, as the colour image transport receives them
// from the network. Decoding must either give an image or throw CloudCodecError; an image it
// gives must be width x height pixels of its layout's channels within the limits, and encoding
// it again and decoding that must give the same layout, size and bytes.
#include <cstddef>
#include <cstdint>
#include <exception>
#include <string>
#include <typeinfo>
#include <vector>

#include "codec_fuzz_limits.hpp"
#include "fuzz_finding.hpp"
#include "tavrinox_camera_convertor/codec/cloud_codec_error.hpp"
#include "tavrinox_camera_convertor/codec/color_image_codec.hpp"
#include "tavrinox_camera_convertor/geometry/image.hpp"

namespace
{

namespace tc = tavrinox_camera_convertor;
using tc::fuzz::codec_fuzz_limits;
using tc::fuzz::finding;
using tc::fuzz::require;

/// Whether `payload` decoded; anything but CloudCodecError thrown is a finding.
bool decode(
  tc::ColorImageDecoder & decoder, const std::uint8_t * payload, std::size_t size,
  tc::ColorLayout & layout, std::uint32_t & width, std::uint32_t & height,
  std::vector<std::uint8_t> & pixels)
{
  try {
    layout = decoder.decode(payload, size, width, height, pixels);
    return true;
  } catch (const tc::CloudCodecError &) {
    return false;
  } catch (const std::exception & error) {
    finding(std::string("decode threw ") + typeid(error).name() + ": " + error.what());
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t * data, std::size_t size)
{
  tc::ColorImageDecoder decoder(codec_fuzz_limits());
  tc::ColorLayout layout = tc::ColorLayout::rgb8;
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::vector<std::uint8_t> pixels;
  if (!decode(decoder, data, size, layout, width, height, pixels)) {
    return 0;
  }
  const std::uint64_t count = width == 0 || height == 0 ? 0 :
    static_cast<std::uint64_t>(width) * height;
  require(
    pixels.size() == tc::channels_of(layout) * count,
    "the decoded image is not width x height pixels of its channels");
  require(count <= codec_fuzz_limits().max_pixels, "decoded beyond the pixel limit");
  require(pixels.size() <= codec_fuzz_limits().max_decoded_bytes, "decoded beyond the limit");

  // What was decoded, encoded again, must decode to the very same image.
  tc::ImageView view;
  view.width = width;
  view.height = height;
  view.encoding = tc::encoding_of(layout);
  view.step = tc::channels_of(layout) * width;
  view.data = pixels.data();
  view.size = pixels.size();
  std::vector<std::uint8_t> again;
  try {
    tc::ColorImageEncoder().encode(view, again);
  } catch (const std::exception & error) {
    finding(std::string("a decoded image could not be encoded again: ") + error.what());
  }
  tc::ColorLayout second_layout = tc::ColorLayout::rgb8;
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
