// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// Spoils copies of real payloads (a camera-like 1280 x 720 frame's cloud as its depth image, the
// same cloud as its data, the depth image itself, the colour image) and counts what the decoders
// make of them:
// refused, decoded into exactly what was encoded, or decoded into something else. The last must
// never happen; any that does fails the run.
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "benchmark_exit.hpp"
#include "camera_like_frame.hpp"
#include "payload_mutation.hpp"
#include "tavrinox_camera_convertor/codec/cloud_codec_error.hpp"
#include "tavrinox_camera_convertor/codec/cloud_decoder.hpp"
#include "tavrinox_camera_convertor/codec/cloud_encoder.hpp"
#include "tavrinox_camera_convertor/codec/color_image_codec.hpp"
#include "tavrinox_camera_convertor/codec/depth_image_codec.hpp"
#include "tavrinox_camera_convertor/geometry/arm_cloud.hpp"
#include "tavrinox_camera_convertor/geometry/camera_config.hpp"
#include "tavrinox_camera_convertor/geometry/depth_pixels.hpp"

namespace tavrinox_camera_convertor::bench
{
namespace
{

constexpr std::uint64_t kSeed = 2026;

struct Options
{
  std::string config = TAVRINOX_DEFAULT_CONFIG;
  std::size_t copies = 2000;
};

Options parse(int argc, char ** argv)
{
  Options options;
  for (int k = 1; k < argc; ++k) {
    const std::string option = argv[k];
    if (k + 1 >= argc) {
      throw std::runtime_error("option " + option + " needs a value");
    }
    const std::string value = argv[++k];
    if (option == "--config") {
      options.config = value;
    } else if (option == "--copies") {
      options.copies = std::stoul(value);
    } else {
      throw std::runtime_error("unknown option " + option);
    }
  }
  return options;
}

bool same_cloud(const pcl::PCLPointCloud2 & a, const pcl::PCLPointCloud2 & b)
{
  if (a.fields.size() != b.fields.size()) {
    return false;
  }
  for (std::size_t k = 0; k < a.fields.size(); ++k) {
    if (a.fields[k].name != b.fields[k].name || a.fields[k].offset != b.fields[k].offset ||
      a.fields[k].datatype != b.fields[k].datatype || a.fields[k].count != b.fields[k].count)
    {
      return false;
    }
  }
  return a.height == b.height && a.width == b.width && a.point_step == b.point_step &&
         a.row_step == b.row_step && a.is_bigendian == b.is_bigendian &&
         a.is_dense == b.is_dense && a.data == b.data;
}

void print_tally(const char * payload, std::size_t bytes, const MutationTally & tally)
{
  std::printf(
    "\n%s (%zu bytes): %zu copies: %zu refused, %zu decoded identical, %zu decoded DIFFERENT\n",
    payload, bytes, tally.copies, tally.count(Decoded::refused), tally.count(Decoded::identical),
    tally.count(Decoded::different));
  std::printf("  %-16s %8s %10s %10s\n", "mutation", "refused", "identical", "different");
  for (std::size_t m = 0; m < kMutations.size(); ++m) {
    std::printf(
      "  %-16s %8zu %10zu %10zu\n", name_of(kMutations[m]), tally.by_mutation[m][0],
      tally.by_mutation[m][1], tally.by_mutation[m][2]);
  }
  std::printf(
    "payload=%s copies=%zu refused=%zu identical=%zu different=%zu\n", payload, tally.copies,
    tally.count(Decoded::refused), tally.count(Decoded::identical),
    tally.count(Decoded::different));
}

/// Decoding `copy` of a cloud payload, against the cloud that was encoded.
Decoded decode_cloud(
  CloudDecoder & decoder, const std::uint8_t * copy, std::size_t size,
  const pcl::PCLPointCloud2 & layout, const pcl::PCLPointCloud2 & original)
{
  pcl::PCLPointCloud2 decoded;
  try {
    decoder.decode(copy, size, layout, decoded);
  } catch (const CloudCodecError &) {
    return Decoded::refused;
  }
  return same_cloud(decoded, original) ? Decoded::identical : Decoded::different;
}

int run(int argc, char ** argv)
{
  const Options options = parse(argc, argv);
  std::ostringstream matrices;
  const CameraConfig config = load_camera_config(options.config, matrices);
  const CameraLikeFrame frame = camera_like_frame(config, 1280, 720);
  std::vector<std::uint16_t> scratch;
  const DepthPixels depth(view_of(frame.depth), "camera 1", scratch);
  pcl::PCLPointCloud2 cloud;
  ArmCloudWriter().write(depth, frame.intrinsics, frame.extrinsic, cloud);
  const pcl::PCLPointCloud2 layout = layout_of(cloud);
  std::printf(
    "Mutated copies of payloads of a camera-like %u x %u frame (seed %" PRIu64 "); a copy decoded "
    "into anything but what was encoded counts as DIFFERENT\n", depth.width(), depth.height(),
    kSeed);

  CloudEncoder encoder;
  CloudDecoder decoder;
  bool none_different = true;

  std::vector<std::uint8_t> payload;
  encoder.encode_depth(depth, frame.intrinsics, frame.extrinsic, payload);
  MutationTally tally = tally_mutations(
    payload, options.copies, kSeed, [&](const std::uint8_t * copy, std::size_t size) {
      return decode_cloud(decoder, copy, size, layout, cloud);
    });
  print_tally("cloud_as_depth_image", payload.size(), tally);
  none_different = none_different && tally.count(Decoded::different) == 0;

  encoder.encode_cloud_data(cloud, payload);
  tally = tally_mutations(
    payload, options.copies, kSeed, [&](const std::uint8_t * copy, std::size_t size) {
      return decode_cloud(decoder, copy, size, layout, cloud);
    });
  print_tally("cloud_data", payload.size(), tally);
  none_different = none_different && tally.count(Decoded::different) == 0;

  DepthImageEncoder depth_encoder;
  DepthImageDecoder depth_decoder;
  depth_encoder.encode(depth, payload);
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::vector<std::uint16_t> millimetres;
  depth_decoder.decode(payload.data(), payload.size(), width, height, millimetres);
  const std::vector<std::uint16_t> original_millimetres = millimetres;
  tally = tally_mutations(
    payload, options.copies, kSeed, [&](const std::uint8_t * copy, std::size_t size) {
      try {
        depth_decoder.decode(copy, size, width, height, millimetres);
      } catch (const CloudCodecError &) {
        return Decoded::refused;
      }
      const bool same = width == depth.width() && height == depth.height() &&
      millimetres == original_millimetres;
      return same ? Decoded::identical : Decoded::different;
    });
  print_tally("depth_image", payload.size(), tally);
  none_different = none_different && tally.count(Decoded::different) == 0;

  ColorImageDecoder colour_decoder;
  ColorImageEncoder().encode(view_of(frame.colour), payload);
  std::vector<std::uint8_t> pixels;
  tally = tally_mutations(
    payload, options.copies, kSeed, [&](const std::uint8_t * copy, std::size_t size) {
      ColorLayout layout = ColorLayout::rgb8;
      try {
        layout = colour_decoder.decode(copy, size, width, height, pixels);
      } catch (const CloudCodecError &) {
        return Decoded::refused;
      }
      const bool same = layout == ColorLayout::bgr8 && width == frame.colour.width &&
      height == frame.colour.height && pixels == frame.colour.data;
      return same ? Decoded::identical : Decoded::different;
    });
  print_tally("colour_image", payload.size(), tally);
  none_different = none_different && tally.count(Decoded::different) == 0;

  return agreement_status(none_different, "a mutated payload decoded into something else");
}

}  // namespace
}  // namespace tavrinox_camera_convertor::bench

int main(int argc, char ** argv)
{
  return tavrinox_camera_convertor::bench::guarded_main(
    tavrinox_camera_convertor::bench::run, argc, argv, "tavrinox_payload_mutation_check",
    "usage: tavrinox_payload_mutation_check [--copies N] [--config FILE]");
}
