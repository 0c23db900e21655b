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
//   94      rest  one zstd frame (content size and checksum included) of 2 x width x height
//                 bytes: each pixel's difference from its left neighbour (from the pixel above in
//                 column 0, from 0 at the first pixel), modulo 2^16, zig-zagged so small
//                 differences of either sign are small numbers, as two planes: the low bytes
//                 of all pixels, then the high bytes
//
// cloud_data (any cloud; its layout travels beside the payload):
//   6       8     bytes of the cloud's data (u64)
//   14      rest  one zstd frame (content size and checksum included) of those bytes
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
inline constexpr std::uint8_t kCloudPayloadVersion = 1;
/// Bytes before a depth_image payload's zstd frame.
inline constexpr std::size_t kDepthPayloadHeaderBytes = 94;
/// Bytes before a cloud_data payload's zstd frame.
inline constexpr std::size_t kCloudDataPayloadHeaderBytes = 14;

}  // namespace tavrinox_camera_convertor
