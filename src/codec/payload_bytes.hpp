// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// Little-endian numbers in and out of a payload, whatever the host's byte order, the header
// fields every payload starts with, and the checksum that ends every header.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "content_digest.hpp"
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

  /// @brief Magic and version.
  template<std::size_t N>
  void prefix(const std::array<std::uint8_t, N> & magic, std::uint8_t version)
  {
    for (const std::uint8_t byte : magic) {
      u8(byte);
    }
    u8(version);
  }

  /// @brief A cloud payload's magic, version and kind.
  void prefix(CloudPayloadKind kind)
  {
    prefix(kCloudPayloadMagic, kCloudPayloadVersion);
    u8(static_cast<std::uint8_t>(kind));
  }

  /// @brief Ends the header with its checksum: of every byte written so far and `content_digest`.
  void checksum(std::uint64_t content_digest)
  {
    u64(payload_checksum(out_.data(), out_.size(), content_digest));
  }

  /// @brief Appends `size` bytes at `data` (a frame), after the header.
  void bytes(const std::uint8_t * data, std::size_t size)
  {
    out_.insert(out_.end(), data, data + size);
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

  /**
   * @brief Checks magic and version.
   * @param name names the payload in errors, for example "cloud payload"
   * @param magic_text the magic as text, for errors
   */
  template<std::size_t N>
  void prefix(
    const std::array<std::uint8_t, N> & magic, std::uint8_t version, const char * name,
    const char * magic_text)
  {
    if (size_ < magic.size() || std::memcmp(data_, magic.data(), magic.size()) != 0) {
      throw CloudCodecError(
              std::string("not a ") + name + ": it does not start with the bytes \"" +
              magic_text + "\" (" + std::to_string(size_) + " bytes)");
    }
    offset_ = magic.size();
    const std::uint8_t read = u8();
    if (read != version) {
      // A sender's build and a receiver's need not be updated together: say which is behind.
      throw CloudCodecError(
              std::string(name) + " version " + std::to_string(read) + " is not supported: this "
              "decoder reads version " + std::to_string(version) +
              (read < version ?
              " (the sender's tavrinox_camera_convertor is older: update it)" :
              " (the sender's tavrinox_camera_convertor is newer: update this host's)"));
    }
  }

  /// @brief Checks a cloud payload's magic and version and returns the kind, which the caller
  ///        checks.
  std::uint8_t prefix()
  {
    prefix(kCloudPayloadMagic, kCloudPayloadVersion, "cloud payload", "TXCC");
    return u8();
  }

  /// @brief Reads the checksum that ends the header; everything before it is what it covers.
  void read_checksum()
  {
    header_bytes_ = offset_;
    checksum_ = u64();
  }

  /**
   * @brief Refuses the payload unless its checksum is that of its header and `content_digest`,
   *        the digest of what was decoded from it.
   */
  void require_checksum(std::uint64_t content_digest) const
  {
    if (payload_checksum(data_, header_bytes_, content_digest) != checksum_) {
      throw CloudCodecError(
              std::string(what_) + " of " + std::to_string(size_) + " bytes does not match its "
              "checksum: its header or content changed on the way");
    }
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
  std::size_t header_bytes_ = 0;
  std::uint64_t checksum_ = 0;
};

}  // namespace tavrinox_camera_convertor::detail
