// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// Payloads that are anything but what an encoder wrote are refused with CloudCodecError and a
// text that says why: cut short, another magic, version or kind, a camera that cannot
// back-project, a layout beside them that disagrees with the decoded cloud.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "codec/malformed_payloads.hpp"
#include "tavrinox_camera_convertor/codec/cloud_codec_error.hpp"
#include "tavrinox_camera_convertor/codec/cloud_decoder.hpp"
#include "tavrinox_camera_convertor/codec/cloud_encoder.hpp"
#include "tavrinox_camera_convertor/codec/cloud_payload.hpp"
#include "tavrinox_camera_convertor/geometry/cloud_encoding.hpp"
#include "tavrinox_camera_convertor/geometry/depth_pixels.hpp"
#include "tavrinox_camera_convertor/geometry/extrinsic_transform.hpp"
#include "test_support.hpp"

namespace tavrinox_camera_convertor::test
{
namespace
{

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
  // Version 1 came before payloads carried a checksum; either side may be the one behind.
  bytes = valid.bytes;
  bytes[4] = 1;
  expect_refused(
    decoder, bytes, layout, "cloud payload version 1 is not supported: this decoder reads "
    "version 2 (the sender's tavrinox_camera_convertor is older: update it)");
  bytes[4] = 3;
  expect_refused(
    decoder, bytes, layout, "cloud payload version 3 is not supported: this decoder reads "
    "version 2 (the sender's tavrinox_camera_convertor is newer: update this host's)");
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
  const ImageMessage image = make_depth_image(1, 1, {1000});
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

}  // namespace
}  // namespace tavrinox_camera_convertor::test
