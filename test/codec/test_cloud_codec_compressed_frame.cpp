// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// The compressed depth image must be exactly one zstd frame holding exactly the code of the
// image the payload's header describes, and decode into the millimetres its checksum was made
// of: frames written by hand with one flaw each are refused, and a flipped bit anywhere in the
// frame is caught or changes nothing.
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
  const DepthPayload valid = depth_payload();  // 3 x 2: a 14-byte frame content
  const pcl::PCLPointCloud2 layout = layout_of(valid.cloud);
  CloudDecoder decoder;
  const std::size_t header = kDepthPayloadHeaderBytes;
  const std::vector<std::uint8_t> frame(valid.bytes.begin() + header, valid.bytes.end());
  // The valid payload's depth code, worked out by hand from cloud_payload.hpp: row 0 from the
  // left, 1000 - 0, 0 - 1000, 1002 - 0; row 1 from above, 1100 - 1000, 1101 - 0, 1099 - 1002;
  // zig-zagged to 2000, 1999, 2004, 200, 2202, 194: a byte each (255 for those of 255 or more),
  // then the escaped ones, two bytes each.
  const std::vector<std::uint8_t> code = {
    255, 255, 255, 200, 255, 194, 0xd0, 0x07, 0xcf, 0x07, 0xd4, 0x07, 0x9a, 0x08};

  // A hand-made frame of the right content decodes: the cases below fail for their one flaw.
  pcl::PCLPointCloud2 out;
  decoder.decode(with_frame(valid.bytes, header, raw_zstd_frame(code, true, 14)), layout, out);
  EXPECT_EQ(out.data, valid.cloud.data);

  expect_refused(
    decoder, with_frame(valid.bytes, header, raw_zstd_frame(code, false)), layout,
    "does not state its size");
  const std::vector<std::uint8_t> odd(code.begin(), code.begin() + 13);
  expect_refused(
    decoder, with_frame(valid.bytes, header, raw_zstd_frame(odd, true, 13)), layout,
    "the compressed depth image holds 13 bytes, which no code of a 3 x 2 image takes");
  const std::vector<std::uint8_t> few_escapes(code.begin(), code.begin() + 12);
  expect_refused(
    decoder, with_frame(valid.bytes, header, raw_zstd_frame(few_escapes, true, 12)), layout,
    "the depth code has more escaped pixels than values for them");
  std::vector<std::uint8_t> unescaped = code;
  unescaped[0] = 9;  // three escaped pixels left, four values
  expect_refused(
    decoder, with_frame(valid.bytes, header, raw_zstd_frame(unescaped, true, 14)), layout,
    "the depth code ends with 2 bytes that no escaped pixel takes");
  expect_refused(
    decoder, with_frame(valid.bytes, header, raw_zstd_frame(few_escapes, true, 14)), layout,
    "the compressed depth image is corrupt");
  // A code that decodes, but into other millimetres than the checksum's.
  std::vector<std::uint8_t> other = code;
  other[3] = 202;
  expect_refused(
    decoder, with_frame(valid.bytes, header, raw_zstd_frame(other, true, 14)), layout,
    "does not match its checksum");

  std::vector<std::uint8_t> wider = valid.bytes;
  put_u32(wider, 6, 4);
  expect_refused(decoder, wider, layout, "more escaped pixels than values for them");

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
  // The payload carries a checksum of what the frame decodes into: a flipped bit must be caught
  // wherever it lands, unless it lands where it changes nothing (the window size, say).
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
