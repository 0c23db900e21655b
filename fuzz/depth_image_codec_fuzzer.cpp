// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// Arbitrary payloads into the depth image decoder, as the depth image transport receives them
// from the network. Decoding must either give an image or throw CloudCodecError; an image it
// gives must be width x height pixels within the limits, and encoding it again and decoding that
// must give the same millimetres.
#include <cstddef>
#include <cstdint>
#include <exception>
#include <string>
#include <typeinfo>
#include <vector>

#include "codec_fuzz_limits.hpp"
#include "fuzz_finding.hpp"
#include "tavrinox_camera_convertor/codec/cloud_codec_error.hpp"
#include "tavrinox_camera_convertor/codec/depth_image_codec.hpp"
#include "tavrinox_camera_convertor/geometry/depth_pixels.hpp"
#include "tavrinox_camera_convertor/geometry/image.hpp"

namespace
{

namespace tc = tavrinox_camera_convertor;
using tc::fuzz::codec_fuzz_limits;
using tc::fuzz::finding;
using tc::fuzz::require;

/// Whether `payload` decoded; anything but CloudCodecError thrown is a finding.
bool decode(
  tc::DepthImageDecoder & decoder, const std::uint8_t * payload, std::size_t size,
  std::uint32_t & width, std::uint32_t & height, std::vector<std::uint16_t> & millimetres)
{
  try {
    decoder.decode(payload, size, width, height, millimetres);
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
  tc::DepthImageDecoder decoder(codec_fuzz_limits());
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
  tc::ImageView view;
  view.width = width;
  view.height = height;
  view.encoding = "16UC1";
  view.is_bigendian = tc::host_is_bigendian();
  view.step = 2 * width;
  view.data = reinterpret_cast<const std::uint8_t *>(millimetres.data());
  view.size = 2 * millimetres.size();
  std::vector<std::uint8_t> again;
  try {
    std::vector<std::uint16_t> scratch;
    tc::DepthImageEncoder encoder;
    encoder.encode(tc::DepthPixels(view, "decoded", scratch), again);
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
