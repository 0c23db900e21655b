// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// Arbitrary payloads into the depth image decoder, as the depth image transport receives them
// from the network. Decoding must either give an image or throw CloudCodecError; an image it
// gives must be width x height pixels within the limits, and encoding it again and decoding that
// must give the same millimetres.
#include <cstddef>
#include <cstdint>
#include <exception>
#include <string>
#include <vector>

#include "codec_fuzz_limits.hpp"
#include "codec_refusal.hpp"
#include "fuzz_finding.hpp"
#include "tavrinox_camera_convertor/codec/depth_image_codec.hpp"
#include "tavrinox_camera_convertor/geometry/depth_pixels.hpp"
#include "tavrinox_camera_convertor/geometry/image.hpp"

namespace tavrinox_camera_convertor::fuzz
{
namespace
{

/// Whether the depth image decoder took `payload`, under the rule of codec_refusal.hpp.
bool decode(
  DepthImageDecoder & decoder, const std::uint8_t * payload, std::size_t size,
  std::uint32_t & width, std::uint32_t & height, std::vector<std::uint16_t> & millimetres)
{
  return decoded_or_refused(
    [&] {decoder.decode(payload, size, width, height, millimetres);});
}

/// @brief One input: decoded, encoded again and decoded again to the same image, or refused.
int check_depth_payload(const std::uint8_t * data, std::size_t size)
{
  DepthImageDecoder decoder(codec_fuzz_limits());
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::vector<std::uint16_t> millimetres;
  if (!decode(decoder, data, size, width, height, millimetres)) {
    return 0;
  }
  require(
    millimetres.size() == static_cast<std::uint64_t>(width) * height,
    "the decoded image is not width x height pixels");
  require(millimetres.size() <= codec_fuzz_limits().max_pixels, "decoded beyond the limit");

  // What was decoded, encoded again, must decode to the very same millimetres.
  ImageView view;
  view.width = width;
  view.height = height;
  view.encoding = "16UC1";
  view.is_bigendian = host_is_bigendian();
  view.step = 2 * width;
  view.data = reinterpret_cast<const std::uint8_t *>(millimetres.data());
  view.size = 2 * millimetres.size();
  std::vector<std::uint8_t> again;
  try {
    std::vector<std::uint16_t> scratch;
    DepthImageEncoder encoder;
    encoder.encode(DepthPixels(view, "decoded", scratch), again);
  } catch (const std::exception & error) {
    finding(std::string("a decoded image could not be encoded again: ") + error.what());
  }
  std::uint32_t second_width = 0;
  std::uint32_t second_height = 0;
  std::vector<std::uint16_t> second;
  require(
    decode(decoder, again.data(), again.size(), second_width, second_height, second),
    "a payload encoded from a decoded image was refused");
  require(
    second_width == width && second_height == height && second == millimetres,
    "encoded again and decoded, the image changed");
  return 0;
}

}  // namespace
}  // namespace tavrinox_camera_convertor::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t * data, std::size_t size)
{
  return tavrinox_camera_convertor::fuzz::check_depth_payload(data, size);
}
