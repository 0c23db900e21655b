// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// Image messages as a driver could send them, drawn from a fuzz input: headers that may lie
// (encodings, sizes, steps, data lengths near and far from what they claim) and pixels repeated
// from a pattern.
#pragma once

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "frame_acceptance.hpp"
#include "tavrinox_camera_convertor/geometry/image.hpp"

namespace tavrinox_camera_convertor::fuzz
{

// Headers may claim anything; these bounds only keep one input within milliseconds.
inline constexpr int kMaxDataBits = 22;  // 4 MiB
inline constexpr std::uint64_t kMaxHeaderDerivedBytes = 128u << 10;
inline constexpr std::uint64_t kMaxProcessedPixels = 1u << 14;

/// An image message as a driver could send it: a header that may lie, and its bytes.
struct FuzzedImage
{
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::string encoding;
  bool is_bigendian = false;
  std::uint32_t step = 0;
  std::vector<std::uint8_t> data;

  ImageView view() const
  {
    ImageView image;
    image.width = width;
    image.height = height;
    image.encoding = encoding;
    image.is_bigendian = is_bigendian;
    image.step = step;
    image.data = data.data();
    image.size = data.size();
    return image;
  }
};

/// Which image a header is for: it decides the encodings a driver would normally send.
enum class Role { kDepth, kColour };

inline std::string consume_encoding(FuzzedDataProvider & input, Role role)
{
  constexpr std::array<const char *, 3> kDepth = {"16UC1", "mono16", "32FC1"};
  constexpr std::array<const char *, 5> kColour = {"rgb8", "bgr8", "rgba8", "bgra8", "mono8"};
  constexpr std::array<const char *, 12> kOther = {
    "16SC1", "32FC3", "8UC1", "16UC3", "rgb16", "bayer_rggb8", "yuv422", "", "16uc1", "16UC1 ",
    "32FC1x", "64FC1"};
  // Mostly what the role expects (also when the input has run out), so frames get through;
  // otherwise near misses, arbitrary text and the other role's encodings.
  switch (input.ConsumeIntegralInRange<int>(0, 7)) {
    case 5:
      return kOther[input.ConsumeIntegralInRange<std::size_t>(0, kOther.size() - 1)];
    case 6:
      return input.ConsumeRandomLengthString(12);
    case 7:
      return role == Role::kDepth ?
             kColour[input.ConsumeIntegralInRange<std::size_t>(0, kColour.size() - 1)] :
             kDepth[input.ConsumeIntegralInRange<std::size_t>(0, kDepth.size() - 1)];
    default:
      return role == Role::kDepth ?
             kDepth[input.ConsumeIntegralInRange<std::size_t>(0, kDepth.size() - 1)] :
             kColour[input.ConsumeIntegralInRange<std::size_t>(0, kColour.size() - 1)];
  }
}

inline std::uint32_t consume_dimension(FuzzedDataProvider & input)
{
  constexpr std::array<std::uint32_t, 10> kEdges = {
    0u, 1u, 65536u, 268435456u, 536870911u, 536870912u, 2147483647u, 2147483648u, 4294967294u,
    4294967295u};
  switch (input.ConsumeIntegralInRange<int>(0, 3)) {
    case 0:
      return input.ConsumeIntegralInRange<std::uint32_t>(0, 8);
    case 1:
      return input.ConsumeIntegralInRange<std::uint32_t>(0, 1280);
    case 2:
      return kEdges[input.ConsumeIntegralInRange<std::size_t>(0, kEdges.size() - 1)];
    default:
      return input.ConsumeIntegral<std::uint32_t>();
  }
}

inline std::uint32_t consume_step(
  FuzzedDataProvider & input, std::uint32_t width, std::string_view encoding)
{
  const std::size_t encoding_pixel_bytes =
    std::max(bytes_per_depth_pixel(encoding), colour_channels(encoding));
  const std::uint64_t bytes_per_pixel = encoding_pixel_bytes != 0 && input.ConsumeBool() ?
    encoding_pixel_bytes : input.ConsumeIntegralInRange<std::uint64_t>(1, 8);
  const std::uint64_t packed = width * bytes_per_pixel;
  // Truncation to 32 bits is deliberate: a wrapped step is one more way for a header to lie.
  switch (input.ConsumeIntegralInRange<int>(0, 4)) {
    case 0:
      return static_cast<std::uint32_t>(packed);
    case 1:
      return static_cast<std::uint32_t>(
        packed + input.ConsumeIntegralInRange<std::uint64_t>(1, 64));
    case 2:
      return static_cast<std::uint32_t>(packed - input.ConsumeIntegralInRange<std::uint64_t>(1, 4));
    case 3:
      return 0;
    default:
      return input.ConsumeIntegral<std::uint32_t>();
  }
}

inline std::size_t consume_data_length(FuzzedDataProvider & input, const FuzzedImage & image)
{
  const std::uint64_t rows_bytes = static_cast<std::uint64_t>(image.step) * image.height;
  constexpr int kArbitraryLength = 4;
  const int mode = input.ConsumeIntegralInRange<int>(0, kArbitraryLength);
  std::uint64_t length = 0;
  switch (mode) {
    case 0:
      length = rows_bytes;
      break;
    case 1:
      length = rows_bytes -
        std::min<std::uint64_t>(rows_bytes, input.ConsumeIntegralInRange<std::uint64_t>(1, 16));
      break;
    case 2:
      length = rows_bytes + input.ConsumeIntegralInRange<std::uint64_t>(1, 16);
      break;
    case 3:
      length = 0;
      break;
    default: {
        // Log-uniform, so most inputs stay small and fast while megabytes remain reachable.
        const int bits = input.ConsumeIntegralInRange<int>(0, kMaxDataBits);
        length = input.ConsumeIntegralInRange<std::uint64_t>(0, std::uint64_t{1} << bits);
        break;
      }
  }
  // Lengths derived from a lying header are kept small (a short buffer tests the lie as well
  // as a long one); megabytes come from the log-uniform choice above, now and then.
  if (mode != kArbitraryLength) {
    length = std::min<std::uint64_t>(length, kMaxHeaderDerivedBytes);
  }
  // A large image whose rows all lie inside its data would be processed in full; one byte
  // short it must still be rejected, so the header's claim is tested without the cost.
  const std::uint64_t pixels = static_cast<std::uint64_t>(image.width) * image.height;
  if (pixels > kMaxProcessedPixels && rows_bytes > 0 && length >= rows_bytes) {
    length = rows_bytes - 1;
  }
  return static_cast<std::size_t>(length);
}

inline FuzzedImage consume_header(FuzzedDataProvider & input, Role role)
{
  FuzzedImage image;
  image.encoding = consume_encoding(input, role);
  image.width = consume_dimension(input);
  image.height = consume_dimension(input);
  image.is_bigendian = input.ConsumeBool();
  image.step = consume_step(input, image.width, image.encoding);
  image.data.resize(consume_data_length(input, image));
  return image;
}

/// Fills every image's data by repeating a pattern from the input: holes, blobs and noise alike.
inline void fill_pixels(FuzzedDataProvider & input, FuzzedImage & image)
{
  const std::vector<std::uint8_t> pattern =
    input.ConsumeBytes<std::uint8_t>(input.ConsumeIntegralInRange<std::size_t>(0, 256));
  if (pattern.empty() || image.data.empty()) {
    return;  // all zero: no depth at all
  }
  // Doubling copies: a one-byte pattern over megabytes costs a few dozen calls, not millions.
  std::size_t filled = std::min(pattern.size(), image.data.size());
  std::memcpy(image.data.data(), pattern.data(), filled);
  while (filled < image.data.size()) {
    const std::size_t copied = std::min(filled, image.data.size() - filled);
    std::memcpy(image.data.data() + filled, image.data.data(), copied);
    filled += copied;
  }
}

}  // namespace tavrinox_camera_convertor::fuzz
