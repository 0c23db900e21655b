// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// What CloudEncoder writes and CloudDecoder reads. Every number is little-endian; floats travel
// as their IEEE bits, so a camera comes back bit for bit.
//
//   offset  size  content
//   0       4     magic "TXCC"
//   4       1     version, kCloudPayloadVersion
//   5       1     kind, CloudPayloadKind
//
// depth_image (the cloud is the back-projection of a 16-bit millimetre depth image):
//   6       4     width, pixels (u32)
//   10      4     height, pixels (u32)
//   14      16    fx, fy, cx, cy (f32 each)
//   30      64    camera-to-arm extrinsic, 16 f32 row by row
//   94      8     checksum (u64): XXH3-64 of bytes 0 to 93 followed by the image's digest, the
//                 XXH3-64 of its millimetres (u16 each, row after row), as 8 bytes
//   102     rest  one zstd frame, stating its content size, of the image's depth code
//
// cloud_data (any cloud; its layout travels beside the payload):
//   6       8     bytes of the cloud's data (u64)
//   14      8     checksum (u64): XXH3-64 of bytes 0 to 13 followed by the cloud's digest, the
//                 XXH3-64 of its layout and data: height, width, point_step, row_step (u32
//                 each), is_bigendian, is_dense (u8 each), the number of fields (u32), for each
//                 field its name's length (u32), name, offset (u32), datatype (u8) and count
//                 (u32), then the data bytes; as 8 bytes
//   22      rest  one zstd frame, stating its content size, of the data bytes
//
// The depth code of a width x height image: each pixel's difference from the pixel above it (in
// row 0 from the pixel on its left, the first pixel from 0), modulo 2^16, zig-zagged so that
// small differences of either sign are small numbers (0, -1, 1, -2 ... -> 0, 1, 2, 3 ...). A
// byte a pixel, row after row: the code itself when below 255, else 255 and the code goes to
// the escape list; then the escape list, the escaped pixels' codes (u16 each) in pixel order.
//
// A decoder checks the checksum once it has decoded the content: a payload whose header or
// content was changed on the way is refused, never decoded into another cloud. Version 1
// (left differences in two byte planes, no checksum of the header) is refused too.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace tavrinox_camera_convertor
{

/// What a payload holds.
enum class CloudPayloadKind : std::uint8_t
{
  depth_image = 1,  ///< the depth image and camera the cloud is the back-projection of
  cloud_data = 2,   ///< the cloud's data bytes themselves
};

/// First bytes of every payload.
inline constexpr std::array<std::uint8_t, 4> kCloudPayloadMagic = {'T', 'X', 'C', 'C'};
/// The payload version this build writes and reads.
inline constexpr std::uint8_t kCloudPayloadVersion = 2;
/// Bytes before a depth_image payload's zstd frame, its checksum the last eight of them.
inline constexpr std::size_t kDepthPayloadHeaderBytes = 102;
/// Bytes before a cloud_data payload's zstd frame, its checksum the last eight of them.
inline constexpr std::size_t kCloudDataPayloadHeaderBytes = 22;

}  // namespace tavrinox_camera_convertor
