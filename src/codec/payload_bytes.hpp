// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// Little-endian numbers in and out of a payload, whatever the host's byte order, and the
// header fields both payload kinds share.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "tavrinox_camera_convertor/codec/cloud_codec_error.hpp"
#include "tavrinox_camera_convertor/codec/cloud_payload.hpp"

namespace tavrinox_camera_convertor::detail
{

/// Appends numbers to a payload.
class PayloadWriter
{
public:
  explicit PayloadWriter(std::vector<std::uint8_t> & out)
  : out_(out) {}

  void u8(std::uint8_t value) {out_.push_back(value);}

  void u32(std::uint32_t value)
  {
    for (int shift = 0; shift < 32; shift += 8) {
      out_.push_back(static_cast<std::uint8_t>(value >> shift));
    }
  }

  void u64(std::uint64_t value)
  {
    for (int shift = 0; shift < 64; shift += 8) {
      out_.push_back(static_cast<std::uint8_t>(value >> shift));
    }
  }

  void f32(float value)
  {
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    u32(bits);
  }

  /// @brief Magic, version and kind.
  void prefix(CloudPayloadKind kind)
  {
    for (const std::uint8_t byte : kCloudPayloadMagic) {
      u8(byte);
    }
    u8(kCloudPayloadVersion);
    u8(static_cast<std::uint8_t>(kind));
  }

private:
  std::vector<std::uint8_t> & out_;
};

/// Reads numbers from a payload; reading past its end is an error, never a read out of bounds.
class PayloadReader
{
public:
  /// @param what how errors name the payload
  PayloadReader(const std::uint8_t * data, std::size_t size, const char * what = "cloud payload")
  : data_(data), size_(size), what_(what) {}

  std::uint8_t u8() {return take(1)[0];}

  std::uint32_t u32()
  {
    const std::uint8_t * bytes = take(4);
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i) {
      value = value << 8 | bytes[i];
    }
    return value;
  }

  std::uint64_t u64()
  {
    const std::uint8_t * bytes = take(8);
    std::uint64_t value = 0;
    for (int i = 7; i >= 0; --i) {
      value = value << 8 | bytes[i];
    }
    return value;
  }

  float f32()
  {
    const std::uint32_t bits = u32();
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
  }

  /// @brief Checks magic and version and returns the kind, which the caller checks.
  std::uint8_t prefix()
  {
    if (size_ < kCloudPayloadMagic.size() ||
      std::memcmp(data_, kCloudPayloadMagic.data(), kCloudPayloadMagic.size()) != 0)
    {
      throw CloudCodecError(
              "not a cloud payload: it does not start with the bytes \"TXCC\" (" +
              std::to_string(size_) + " bytes)");
    }
    offset_ = kCloudPayloadMagic.size();
    const std::uint8_t version = u8();
    if (version != kCloudPayloadVersion) {
      throw CloudCodecError(
              "cloud payload version " + std::to_string(version) + " is not supported: this "
              "decoder reads version " + std::to_string(kCloudPayloadVersion));
    }
    return u8();
  }

  const std::uint8_t * here() const {return data_ + offset_;}
  std::size_t left() const {return size_ - offset_;}

private:
  const std::uint8_t * take(std::size_t bytes)
  {
    if (left() < bytes) {
      throw CloudCodecError(
              std::string(what_) + " of " + std::to_string(size_) +
              " bytes ends inside its header");
    }
    const std::uint8_t * at = data_ + offset_;
    offset_ += bytes;
    return at;
  }

  const std::uint8_t * data_;
  std::size_t size_;
  const char * what_;
  std::size_t offset_ = 0;
};

}  // namespace tavrinox_camera_convertor::detail
