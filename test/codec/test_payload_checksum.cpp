// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// Every payload's checksum covers its header, what it decodes into and, for a cloud's data, the
// layout beside it: a payload changed anywhere is refused, never decoded into something else.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "codec/cloud_codec_round_trip.hpp"
#include "codec/malformed_payloads.hpp"
#include "tavrinox_camera_convertor/codec/cloud_codec_error.hpp"
#include "tavrinox_camera_convertor/codec/cloud_decoder.hpp"
#include "tavrinox_camera_convertor/codec/cloud_encoder.hpp"
#include "tavrinox_camera_convertor/codec/cloud_payload.hpp"
#include "tavrinox_camera_convertor/codec/depth_image_codec.hpp"
#include "tavrinox_camera_convertor/geometry/cloud_encoding.hpp"

namespace tavrinox_camera_convertor::test
{
namespace
{

/**
 * Flips every bit of `payload`'s first `bytes` bytes in turn and hands each copy to `decode`,
 * which returns whether it decoded into exactly the original; expects each to be refused with
 * CloudCodecError, or in the frame (from `frame` on) to decode into the original (a bit zstd
 * does not read).
 */
void expect_every_flip_refused(
  const std::vector<std::uint8_t> & payload, std::size_t bytes, std::size_t frame,
  const std::function<bool(const std::vector<std::uint8_t> &)> & decode)
{
  ASSERT_LE(bytes, payload.size());
  for (std::size_t at = 0; at < bytes; ++at) {
    for (int bit = 0; bit < 8; ++bit) {
      std::vector<std::uint8_t> copy = payload;
      copy[at] ^= static_cast<std::uint8_t>(1u << bit);
      try {
        const bool identical = decode(copy);
        EXPECT_TRUE(identical && at >= frame) << "decoded: byte " << at << " bit " << bit;
      } catch (const CloudCodecError &) {
      }
    }
  }
}

TEST(PayloadChecksum, EveryBitOfADepthCloudPayloadsHeaderIsCovered)
{
  // Before checksums, a flipped bit of the camera gave another plausible cloud.
  const DepthPayload valid = depth_payload();
  const pcl::PCLPointCloud2 layout = layout_of(valid.cloud);
  CloudDecoder decoder;
  pcl::PCLPointCloud2 out;
  decoder.decode(valid.bytes, layout, out);
  ASSERT_EQ(out.data, valid.cloud.data);
  expect_every_flip_refused(
    valid.bytes, kDepthPayloadHeaderBytes, kDepthPayloadHeaderBytes,
    [&](const std::vector<std::uint8_t> & copy) {
      decoder.decode(copy, layout, out);
      return out.data == valid.cloud.data;
    });
}

TEST(PayloadChecksum, EveryBitOfADepthImagePayloadsHeaderIsCovered)
{
  const ImageMessage image = noisy_depth(9, 5, 21);
  std::vector<std::uint16_t> scratch;
  std::vector<std::uint8_t> payload;
  DepthImageEncoder().encode(DepthPixels(view_of(image), "camera 1", scratch), payload);
  DepthImageDecoder decoder;
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::vector<std::uint16_t> millimetres;
  decoder.decode(payload.data(), payload.size(), width, height, millimetres);
  ASSERT_EQ(make_depth_image(width, height, millimetres).data, image.data);
  expect_every_flip_refused(
    payload, kDepthImagePayloadHeaderBytes, kDepthImagePayloadHeaderBytes,
    [&](const std::vector<std::uint8_t> & copy) {
      decoder.decode(copy.data(), copy.size(), width, height, millimetres);
      return make_depth_image(width, height, millimetres).data == image.data;
    });
}

TEST(PayloadChecksum, ACloudsDataAndTheLayoutBesideItAreCovered)
{
  pcl::PCLPointCloud2 cloud;
  prepare_xyz_cloud(6, cloud);
  for (std::size_t k = 0; k < cloud.data.size(); ++k) {
    cloud.data[k] = static_cast<std::uint8_t>(7 * k);
  }
  std::vector<std::uint8_t> payload;
  CloudEncoder().encode_cloud_data(cloud, payload);
  const pcl::PCLPointCloud2 layout = layout_of(cloud);
  CloudDecoder decoder;
  pcl::PCLPointCloud2 out;
  decoder.decode(payload, layout, out);
  ASSERT_EQ(out.data, cloud.data);
  // The whole payload, frame included: its content is covered too.
  expect_every_flip_refused(
    payload, payload.size(), kCloudDataPayloadHeaderBytes,
    [&](const std::vector<std::uint8_t> & copy) {
      decoder.decode(copy, layout, out);
      return out.data == cloud.data;
    });
  // The same bytes beside another layout would be another cloud.
  const std::vector<std::function<void(pcl::PCLPointCloud2 &)>> changes = {
    [](pcl::PCLPointCloud2 & other) {other.fields[1].name = "Y";},
    [](pcl::PCLPointCloud2 & other) {other.fields[0].offset = 4; other.fields[1].offset = 0;},
    [](pcl::PCLPointCloud2 & other) {other.fields[2].datatype = 8;},
    [](pcl::PCLPointCloud2 & other) {other.is_dense = !other.is_dense;},
    [](pcl::PCLPointCloud2 & other) {other.is_bigendian = !other.is_bigendian;},
    [](pcl::PCLPointCloud2 & other) {other.height = 2; other.width = 3; other.row_step /= 2;},
  };
  for (std::size_t k = 0; k < changes.size(); ++k) {
    pcl::PCLPointCloud2 other = layout;
    changes[k](other);
    expect_refused(decoder, payload, other, "does not match its checksum");
  }
}

}  // namespace
}  // namespace tavrinox_camera_convertor::test
