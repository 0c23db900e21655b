// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// The compressed depth image must be exactly one zstd frame holding exactly the image the
// payload's header describes: frames written by hand with one flaw each are refused, and a
// flipped bit anywhere in the frame is caught or changes nothing.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "codec/malformed_payloads.hpp"
#include "tavrinox_camera_convertor/codec/cloud_codec_error.hpp"
#include "tavrinox_camera_convertor/codec/cloud_decoder.hpp"
#include "tavrinox_camera_convertor/codec/cloud_payload.hpp"

namespace tavrinox_camera_convertor::test
{
namespace
{

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

}  // namespace
}  // namespace tavrinox_camera_convertor::test
