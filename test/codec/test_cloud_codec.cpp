// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// Clouds sent as their depth images, or as their data, come back bit for bit; a payload that
// is anything but what an encoder wrote is refused with CloudCodecError and a text that says why.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <limits>
#include <random>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "codec/cloud_codec_round_trip.hpp"
#include "tavrinox_camera_convertor/codec/cloud_codec_error.hpp"
#include "tavrinox_camera_convertor/codec/cloud_decoder.hpp"
#include "tavrinox_camera_convertor/codec/cloud_encoder.hpp"
#include "tavrinox_camera_convertor/codec/cloud_payload.hpp"
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

std::vector<InstructionSet> supported_sets()
{
  std::vector<InstructionSet> sets;
  for (const InstructionSet set :
    {InstructionSet::scalar, InstructionSet::sse2, InstructionSet::avx2})
  {
    if (is_supported(set)) {
      sets.push_back(set);
    }
  }
  return sets;
}

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
  for (const InstructionSet set : supported_sets()) {
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

TEST(DepthSourceCopy, PacksPaddedAndSwappedRowsAndReusesItsBuffer)
{
  const std::vector<std::uint16_t> values = {0x0102, 0, 0xfffe, 1, 0x1000, 0x1234};
  // 3 x 2 rows, each padded by 4 bytes, in this machine's byte order (read in place) and in the
  // other one (converted first).
  ImageMessage padded;
  padded.width = 3;
  padded.height = 2;
  padded.encoding = "16UC1";
  padded.is_bigendian = host_is_bigendian() ? 1 : 0;
  padded.step = 10;
  padded.data.assign(20, 0xee);
  for (std::size_t k = 0; k < values.size(); ++k) {
    std::memcpy(&padded.data[k / 3 * 10 + k % 3 * 2], &values[k], 2);
  }
  ImageMessage swapped = padded;
  swapped.is_bigendian = host_is_bigendian() ? 0 : 1;
  for (std::size_t k = 0; k + 1 < swapped.data.size(); k += 2) {
    std::swap(swapped.data[k], swapped.data[k + 1]);
  }
  const ExtrinsicTransform extrinsic =
    make_extrinsic_transform({1.0f, 2.0f, 3.0f}, {4.0f, 5.0f, 6.0f});
  DepthSourceCopy copy;
  for (const ImageMessage * image : {&padded, &swapped}) {
    std::vector<std::uint16_t> scratch;
    const DepthPixels depth(view_of(*image), "camera 1", scratch);
    copy.assign(depth, {1.0f, 2.0f, 3.0f, 4.0f}, extrinsic);
    EXPECT_EQ(copy.millimetres(), values);
    EXPECT_EQ(copy.intrinsics().cy, 4.0f);
    EXPECT_EQ(copy.extrinsic(), extrinsic);
    const DepthPixels again = copy.pixels();
    EXPECT_EQ(DepthPixels::at(again.row(1), 2), 0x1234);
  }

  std::vector<std::uint16_t> scratch;
  const DepthPixels depth(view_of(padded), "camera 1", scratch);
  const std::uint16_t * buffer = copy.millimetres().data();
  copy.assign(depth, {}, extrinsic);
  EXPECT_EQ(copy.millimetres().data(), buffer) << "a same-sized copy allocated anew";

  CloudSource not_made;
  EXPECT_THROW(copy.assign(not_made), std::invalid_argument);
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

// ---------------------------------------------------------------- what a payload must not be

/// A valid 3 x 2 depth payload (5 points), its cloud and the layout beside it.
struct DepthPayload
{
  std::vector<std::uint8_t> bytes;
  pcl::PCLPointCloud2 cloud;
};

DepthPayload depth_payload()
{
  const ImageMessage image = test::make_depth_image(3, 2, {1000, 0, 1002, 1100, 1101, 1099});
  std::vector<std::uint16_t> scratch;
  const DepthPixels depth(view_of(image), "camera 1", scratch);
  const CameraIntrinsics intrinsics{3.0f, 3.0f, 1.0f, 0.5f};
  const ExtrinsicTransform extrinsic =
    make_extrinsic_transform({-90.0f, 0.0f, 10.0f}, {1.0f, 2.0f, 3.0f});
  DepthPayload payload;
  CloudEncoder().encode_depth(depth, intrinsics, extrinsic, payload.bytes);
  ArmCloudWriter().write(depth, intrinsics, extrinsic, payload.cloud);
  return payload;
}

void put_u32(std::vector<std::uint8_t> & bytes, std::size_t offset, std::uint32_t value)
{
  for (int k = 0; k < 4; ++k) {
    bytes.at(offset + k) = static_cast<std::uint8_t>(value >> (8 * k));
  }
}

void put_f32(std::vector<std::uint8_t> & bytes, std::size_t offset, float value)
{
  std::uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  put_u32(bytes, offset, bits);
}

/// Offset of extrinsic entry (row, column) in a depth payload.
std::size_t extrinsic_offset(int row, int column) {return 30 + 4 * (4 * row + column);}

/**
 * A zstd frame of `content` in one raw block, written by hand to say what an encoder never
 * says: with a one-byte content size that may lie, or with none.
 */
std::vector<std::uint8_t> raw_zstd_frame(
  const std::vector<std::uint8_t> & content, bool states_size, std::uint8_t stated = 0)
{
  std::vector<std::uint8_t> frame = {0x28, 0xb5, 0x2f, 0xfd};
  if (states_size) {
    frame.insert(frame.end(), {0x20, stated});  // one segment, one-byte content size
  } else {
    frame.insert(frame.end(), {0x00, 0x00});  // no content size, 1 KiB window
  }
  const std::uint32_t block = static_cast<std::uint32_t>(content.size()) << 3 | 1;  // last, raw
  frame.insert(
    frame.end(), {static_cast<std::uint8_t>(block), static_cast<std::uint8_t>(block >> 8),
      static_cast<std::uint8_t>(block >> 16)});
  frame.insert(frame.end(), content.begin(), content.end());
  return frame;
}

/// The header of `payload` followed by `frame`.
std::vector<std::uint8_t> with_frame(
  const std::vector<std::uint8_t> & payload, std::size_t header_bytes,
  const std::vector<std::uint8_t> & frame)
{
  std::vector<std::uint8_t> bytes(header_bytes + frame.size());
  std::copy(payload.begin(), payload.begin() + header_bytes, bytes.begin());
  std::copy(frame.begin(), frame.end(), bytes.begin() + header_bytes);
  return bytes;
}

/// Expects decoding to throw CloudCodecError whose text holds `expected`.
void expect_refused(
  CloudDecoder & decoder, const std::vector<std::uint8_t> & payload,
  const pcl::PCLPointCloud2 & layout, const std::string & expected)
{
  pcl::PCLPointCloud2 out;
  try {
    decoder.decode(payload, layout, out);
    ADD_FAILURE() << "decoded, expected a refusal saying \"" << expected << "\"";
  } catch (const CloudCodecError & error) {
    EXPECT_NE(std::string(error.what()).find(expected), std::string::npos)
      << "text: " << error.what() << "\nexpected to hold: " << expected;
  }
}

TEST(CloudCodecRefuses, PayloadsCutShortAnywhere)
{
  const DepthPayload valid = depth_payload();
  CloudDecoder decoder;
  const pcl::PCLPointCloud2 layout = layout_of(valid.cloud);
  for (std::size_t size = 0; size < valid.bytes.size(); ++size) {
    const std::vector<std::uint8_t> cut(valid.bytes.begin(), valid.bytes.begin() + size);
    const char * expected = size < 4 ? "not a cloud payload" :
      size < kDepthPayloadHeaderBytes ? "ends inside its header" :
      "the compressed depth image is not one whole zstd frame";
    SCOPED_TRACE("cut to " + std::to_string(size) + " bytes");
    expect_refused(decoder, cut, layout, expected);
  }
  pcl::PCLPointCloud2 out;
  EXPECT_EQ(decoder.decode(valid.bytes, layout, out), CloudPayloadKind::depth_image);
  EXPECT_EQ(out.data, valid.cloud.data);
}

TEST(CloudCodecRefuses, AnotherMagicVersionOrKind)
{
  const DepthPayload valid = depth_payload();
  CloudDecoder decoder;
  const pcl::PCLPointCloud2 layout = layout_of(valid.cloud);
  std::vector<std::uint8_t> bytes = valid.bytes;
  bytes[0] = 'X';
  expect_refused(decoder, bytes, layout, "not a cloud payload: it does not start with");
  bytes = valid.bytes;
  bytes[4] = 2;
  expect_refused(decoder, bytes, layout, "cloud payload version 2 is not supported");
  for (const std::uint8_t kind : {0, 3, 255}) {
    bytes = valid.bytes;
    bytes[5] = kind;
    expect_refused(
      decoder, bytes, layout, "cloud payload kind " + std::to_string(kind) + " is unknown");
  }
}

TEST(CloudCodecRefuses, ACameraThatCannotBackProject)
{
  const DepthPayload valid = depth_payload();
  CloudDecoder decoder;
  const pcl::PCLPointCloud2 layout = layout_of(valid.cloud);
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  const struct
  {
    std::size_t offset;
    float value;
    const char * expected;
  } cases[] = {
    {14, nan, "depth payload: intrinsic fx = nan cannot back-project"},
    {18, 0.0f, "intrinsic fy = 0 cannot back-project"},
    {18, -0.0f, "intrinsic fy = -0 cannot back-project"},
    {22, -inf, "intrinsic cx = -inf"},
    {26, inf, "intrinsic cy = inf"},
    {extrinsic_offset(1, 2), nan, "extrinsic entry (1, 2) = nan is not finite"},
    {extrinsic_offset(0, 3), inf, "extrinsic entry (0, 3) = inf is not finite"},
    {extrinsic_offset(3, 0), 0.5f, "bottom row is 0.5 0 0 1, not 0 0 0 1"},
    {extrinsic_offset(3, 3), 2.0f, "bottom row is 0 0 0 2"},
  };
  for (const auto & entry : cases) {
    std::vector<std::uint8_t> bytes = valid.bytes;
    put_f32(bytes, entry.offset, entry.value);
    expect_refused(decoder, bytes, layout, entry.expected);
  }
  // The encoder refuses the same cameras, so a transport can send such clouds as their data.
  const ImageMessage image = test::make_depth_image(1, 1, {1000});
  std::vector<std::uint16_t> scratch;
  const DepthPixels depth(view_of(image), "camera 1", scratch);
  std::vector<std::uint8_t> payload;
  ExtrinsicTransform skewed = ExtrinsicTransform::Identity();
  skewed(3, 1) = 1e-7f;
  CloudEncoder encoder;
  EXPECT_THROW(
    encoder.encode_depth(depth, {nan, 1.0f, 0.0f, 0.0f}, ExtrinsicTransform::Identity(), payload),
    CloudCodecError);
  EXPECT_THROW(
    encoder.encode_depth(depth, {1.0f, 1.0f, 0.0f, 0.0f}, skewed, payload),
    CloudCodecError);
}

TEST(CloudCodecRefuses, SizesBeyondTheLimitsBeforeAllocatingThem)
{
  const DepthPayload valid = depth_payload();  // 3 x 2 pixels, 5 points
  const pcl::PCLPointCloud2 layout = layout_of(valid.cloud);
  CloudDecoderLimits limits;
  limits.max_pixels = 5;
  CloudDecoder few_pixels(limits);
  expect_refused(
    few_pixels, valid.bytes, layout, "its 3 x 2 image (6 pixels) is beyond this decoder's limit "
    "of 5 pixels");
  limits = CloudDecoderLimits();
  limits.max_decoded_bytes = 11;
  CloudDecoder few_bytes(limits);
  expect_refused(
    few_bytes, valid.bytes, layout, "image of 2 bytes a pixel is beyond this decoder's limit of 11 "
    "bytes");
  limits.max_decoded_bytes = 79;
  CloudDecoder small_clouds(limits);
  expect_refused(small_clouds, valid.bytes, layout, "its cloud of 5 points is beyond");

  // Four billion squared overflows 32 bits and 64 bits once doubled; neither may wrap.
  std::vector<std::uint8_t> huge = valid.bytes;
  put_u32(huge, 6, 0xffffffffu);
  put_u32(huge, 10, 0xffffffffu);
  CloudDecoder defaults;
  expect_refused(defaults, huge, layout, "(18446744065119617025 pixels) is beyond");
  limits.max_pixels = std::numeric_limits<std::uint64_t>::max();
  limits.max_decoded_bytes = std::numeric_limits<std::uint64_t>::max();
  CloudDecoder unlimited(limits);
  expect_refused(unlimited, huge, layout, "image of 2 bytes a pixel is beyond");
  put_u32(huge, 6, 0x80000000u);
  put_u32(huge, 10, 1);
  expect_refused(unlimited, huge, layout, "a row of 2147483648 pixels is longer than");

  // Within the default limits, but not what the frame holds: refused before 128 MiB are taken.
  std::vector<std::uint8_t> large = valid.bytes;
  put_u32(large, 6, 8192);
  put_u32(large, 10, 8192);
  expect_refused(
    defaults, large, layout, "holds 12 bytes, but the payload's header makes it 134217728");

  pcl::PCLPointCloud2 cloud;
  prepare_xyz_cloud(10, cloud);
  std::vector<std::uint8_t> data_payload;
  CloudEncoder().encode_cloud_data(cloud, data_payload);
  limits = CloudDecoderLimits();
  limits.max_decoded_bytes = 159;
  CloudDecoder few_data(limits);
  expect_refused(
    few_data, data_payload, layout_of(cloud), "its 160 bytes are beyond this decoder's limit");
}

TEST(CloudCodecRefuses, AFrameThatIsNotExactlyTheImageTheHeaderDescribes)
{
  const DepthPayload valid = depth_payload();  // 3 x 2: a 12-byte frame content
  const pcl::PCLPointCloud2 layout = layout_of(valid.cloud);
  CloudDecoder decoder;
  const std::size_t header = kDepthPayloadHeaderBytes;
  const std::vector<std::uint8_t> frame(valid.bytes.begin() + header, valid.bytes.end());
  // The valid payload's residual planes, worked out by hand from cloud_payload.hpp: 1000 - 0,
  // 0 - 1000, 1002 - 0, then 1100 - 1000 (from above), 1101 - 1100, 1099 - 1101, zig-zagged to
  // 2000, 1999, 2004, 200, 2, 3; low bytes, then high bytes.
  const std::vector<std::uint8_t> planes = {0xd0, 0xcf, 0xd4, 0xc8, 2, 3, 7, 7, 7, 0, 0, 0};

  // A hand-made frame of the right content decodes: the cases below fail for their one flaw.
  pcl::PCLPointCloud2 out;
  decoder.decode(with_frame(valid.bytes, header, raw_zstd_frame(planes, true, 12)), layout, out);
  EXPECT_EQ(out.data, valid.cloud.data);

  expect_refused(
    decoder, with_frame(valid.bytes, header, raw_zstd_frame(planes, false)), layout,
    "does not state its size");
  const std::vector<std::uint8_t> short_planes(planes.begin(), planes.begin() + 10);
  expect_refused(
    decoder, with_frame(valid.bytes, header, raw_zstd_frame(short_planes, true, 10)), layout,
    "the compressed depth image holds 10 bytes, but the payload's header makes it 12");
  expect_refused(
    decoder, with_frame(valid.bytes, header, raw_zstd_frame(short_planes, true, 12)), layout,
    "the compressed depth image is corrupt");

  std::vector<std::uint8_t> wider = valid.bytes;
  put_u32(wider, 6, 4);
  expect_refused(decoder, wider, layout, "holds 12 bytes, but the payload's header makes it 16");

  std::vector<std::uint8_t> trailing = valid.bytes;
  trailing.push_back(0);
  expect_refused(decoder, trailing, layout, "1 byte follows the compressed depth image");
  trailing = valid.bytes;
  trailing.insert(trailing.end(), frame.begin(), frame.end());
  expect_refused(
    decoder, trailing, layout,
    std::to_string(frame.size()) + " bytes follow the compressed depth image");
  expect_refused(
    decoder, with_frame(valid.bytes, header, {0x28, 0xb5, 0x2f, 0xfe, 0, 0}), layout,
    "is not one whole zstd frame");
}

TEST(CloudCodecRefuses, EveryBitFlipInTheFrameOrGivesTheSameCloud)
{
  // The frame carries a checksum: a flipped bit must be caught wherever it lands, unless it
  // lands where it changes nothing (the window size, say).
  const DepthPayload valid = depth_payload();
  const pcl::PCLPointCloud2 layout = layout_of(valid.cloud);
  CloudDecoder decoder;
  int refused = 0;
  for (std::size_t k = kDepthPayloadHeaderBytes; k < valid.bytes.size(); ++k) {
    for (int bit = 0; bit < 8; ++bit) {
      std::vector<std::uint8_t> bytes = valid.bytes;
      bytes[k] ^= static_cast<std::uint8_t>(1u << bit);
      pcl::PCLPointCloud2 out;
      try {
        decoder.decode(bytes, layout, out);
        EXPECT_EQ(out.data, valid.cloud.data) << "byte " << k << " bit " << bit;
      } catch (const CloudCodecError &) {
        ++refused;
      }
    }
  }
  EXPECT_GT(refused, 8 * static_cast<int>(valid.bytes.size() - kDepthPayloadHeaderBytes) * 3 / 4);
}

TEST(CloudCodecRefuses, ALayoutThatDisagreesWithTheDecodedCloud)
{
  const DepthPayload valid = depth_payload();
  CloudDecoder decoder;
  const pcl::PCLPointCloud2 layout = layout_of(valid.cloud);
  pcl::PCLPointCloud2 wrong = layout;
  wrong.width = 6;
  expect_refused(
    decoder, valid.bytes, wrong,
    "the cloud layout beside the depth payload disagrees with the decoded cloud: width 6 (the "
    "decoded cloud's: 5)");
  wrong = layout;
  wrong.height = 0;
  expect_refused(decoder, valid.bytes, wrong, "height 0 (the decoded cloud's: 1)");
  wrong = layout;
  wrong.is_dense = 0;
  expect_refused(decoder, valid.bytes, wrong, "is_dense 0");
  wrong = layout;
  wrong.fields[2].name = "w";
  expect_refused(decoder, valid.bytes, wrong, "field 2 \"w\" at 8 type 7 count 1");
  wrong = layout;
  wrong.fields.pop_back();
  expect_refused(decoder, valid.bytes, wrong, "number of fields 2 (the decoded cloud's: 3)");

  pcl::PCLPointCloud2 cloud;
  prepare_xyz_cloud(4, cloud);
  std::vector<std::uint8_t> data_payload;
  CloudEncoder().encode_cloud_data(cloud, data_payload);
  wrong = layout_of(cloud);
  wrong.row_step = 48;
  expect_refused(
    decoder, data_payload, wrong,
    "disagrees with it: row_step 48 x height 1 = 48 bytes, the payload holds 64");
  std::vector<std::uint8_t> trailing = data_payload;
  trailing.push_back(7);
  expect_refused(decoder, trailing, layout_of(cloud), "1 byte follows the compressed cloud data");
}

TEST(CloudPayload, DepthHeaderHoldsTheCameraBitForBitWhereDocumented)
{
  // Other builds read these offsets: they are the wire format, not an implementation detail.
  const DepthPayload payload = depth_payload();
  const std::vector<std::uint8_t> & bytes = payload.bytes;
  ASSERT_GT(bytes.size(), kDepthPayloadHeaderBytes + 4);
  EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "TXCC");
  EXPECT_EQ(bytes[4], kCloudPayloadVersion);
  EXPECT_EQ(bytes[5], static_cast<std::uint8_t>(CloudPayloadKind::depth_image));
  EXPECT_EQ(bytes[6], 3);
  EXPECT_EQ(bytes[10], 2);
  float value;
  std::memcpy(&value, &bytes[18], 4);  // a little-endian machine reads the bytes as they are
  EXPECT_EQ(value, 3.0f);
  std::memcpy(&value, &bytes[extrinsic_offset(2, 3)], 4);
  EXPECT_EQ(value, 3.0f);
  const std::vector<std::uint8_t> zstd_magic = {0x28, 0xb5, 0x2f, 0xfd};
  EXPECT_TRUE(std::equal(zstd_magic.begin(), zstd_magic.end(), &bytes[kDepthPayloadHeaderBytes]));
}

}  // namespace
}  // namespace tavrinox_camera_convertor
