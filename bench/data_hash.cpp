// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "data_hash.hpp"

#include <cstring>


namespace tavrinox_camera_convertor
{
namespace
{

constexpr std::uint64_t kPrime1 = 0x9E3779B185EBCA87ULL;
constexpr std::uint64_t kPrime2 = 0xC2B2AE3D27D4EB4FULL;
constexpr std::uint64_t kPrime3 = 0x165667B19E3779F9ULL;
constexpr std::uint64_t kPrime4 = 0x85EBCA77C2B2AE63ULL;
constexpr std::uint64_t kPrime5 = 0x27D4EB2F165667C5ULL;

constexpr std::uint64_t rotate_left(std::uint64_t value, int bits)
{
  return (value << bits) | (value >> (64 - bits));
}

// Little-endian words whatever the machine, so that every process agrees on the value; on a
// little-endian machine the copy is one unaligned load.
template<typename Word>
Word read_le(const std::uint8_t * bytes)
{
  Word value;
  std::memcpy(&value, bytes, sizeof value);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
  value = sizeof value == 8 ? static_cast<Word>(__builtin_bswap64(value)) :
    static_cast<Word>(__builtin_bswap32(static_cast<std::uint32_t>(value)));
#endif
  return value;
}

std::uint64_t read64(const std::uint8_t * bytes) {return read_le<std::uint64_t>(bytes);}

std::uint32_t read32(const std::uint8_t * bytes) {return read_le<std::uint32_t>(bytes);}

std::uint64_t round(std::uint64_t lane, std::uint64_t word)
{
  return rotate_left(lane + word * kPrime2, 31) * kPrime1;
}

std::uint64_t merge(std::uint64_t hash, std::uint64_t lane)
{
  return (hash ^ round(0, lane)) * kPrime1 + kPrime4;
}

}  // namespace

std::uint64_t hash_bytes(const std::uint8_t * data, std::size_t size)
{
  const std::uint8_t * const end = data + size;
  std::uint64_t hash = 0;
  if (size >= 32) {
    std::uint64_t lanes[4] = {kPrime1 + kPrime2, kPrime2, 0, 0 - kPrime1};
    const std::uint8_t * const last_stripe = end - 32;
    while (data <= last_stripe) {
      for (int k = 0; k < 4; ++k) {
        lanes[k] = round(lanes[k], read64(data + 8 * k));
      }
      data += 32;
    }
    hash = rotate_left(lanes[0], 1) + rotate_left(lanes[1], 7) + rotate_left(lanes[2], 12) +
      rotate_left(lanes[3], 18);
    for (const std::uint64_t lane : lanes) {
      hash = merge(hash, lane);
    }
  } else {
    hash = kPrime5;
  }
  hash += static_cast<std::uint64_t>(size);
  while (end - data >= 8) {
    hash = rotate_left(hash ^ round(0, read64(data)), 27) * kPrime1 + kPrime4;
    data += 8;
  }
  if (end - data >= 4) {
    hash = rotate_left(hash ^ (read32(data) * kPrime1), 23) * kPrime2 + kPrime3;
    data += 4;
  }
  while (data < end) {
    hash = rotate_left(hash ^ (*data * kPrime5), 11) * kPrime1;
    ++data;
  }
  hash ^= hash >> 33;
  hash *= kPrime2;
  hash ^= hash >> 29;
  hash *= kPrime3;
  hash ^= hash >> 32;
  return hash;
}

}  // namespace tavrinox_camera_convertor
