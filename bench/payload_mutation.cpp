// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "payload_mutation.hpp"

#include <algorithm>
#include <cstring>
#include <random>

namespace tavrinox_camera_convertor::bench
{
namespace
{

std::size_t below(std::mt19937_64 & random, std::size_t bound)
{
  return bound == 0 ? 0 : static_cast<std::size_t>(random() % bound);
}

std::uint8_t random_byte(std::mt19937_64 & random)
{
  return static_cast<std::uint8_t>(random());
}

void flip_bit(std::vector<std::uint8_t> & bytes, std::size_t within, std::mt19937_64 & random)
{
  if (bytes.empty()) {
    return;
  }
  const std::size_t at = below(random, std::min(within, bytes.size()));
  bytes[at] = static_cast<std::uint8_t>(bytes[at] ^ (1u << below(random, 8)));
}

void set_extreme_field(std::vector<std::uint8_t> & bytes, std::mt19937_64 & random)
{
  constexpr std::uint32_t kExtremes[] = {0u, 1u, 0x80000000u, 0xffffffffu, 0x10000u};
  const std::size_t fields = std::min<std::size_t>(bytes.size(), 32) / 4;
  if (fields == 0) {
    return;
  }
  const std::size_t at = 4 * below(random, fields);
  const std::uint32_t value = kExtremes[below(random, std::size(kExtremes))];
  for (std::size_t k = 0; k < 4; ++k) {
    bytes[at + k] = static_cast<std::uint8_t>(value >> (8 * k));
  }
}

void move_block(std::vector<std::uint8_t> & bytes, std::mt19937_64 & random)
{
  const std::size_t length = std::min<std::size_t>(1 + below(random, 256), bytes.size() / 2);
  if (length == 0) {
    return;
  }
  const std::size_t from = below(random, bytes.size() - length + 1);
  const std::size_t to = below(random, bytes.size() - length + 1);
  std::memmove(bytes.data() + to, bytes.data() + from, length);
}

}  // namespace

const char * name_of(Mutation mutation)
{
  switch (mutation) {
    case Mutation::bit_flip:
      return "bit_flip";
    case Mutation::header_bit_flip:
      return "header_bit_flip";
    case Mutation::bytes_replaced:
      return "bytes_replaced";
    case Mutation::truncated:
      return "truncated";
    case Mutation::extended:
      return "extended";
    case Mutation::extreme_field:
      return "extreme_field";
    case Mutation::junk:
      return "junk";
    case Mutation::block_moved:
      break;
  }
  return "block_moved";
}

std::vector<std::uint8_t> mutated_copy(
  const std::vector<std::uint8_t> & original, std::size_t index, std::uint64_t seed)
{
  std::mt19937_64 random(seed ^ (0x9e3779b97f4a7c15ull * (index + 1)));
  std::vector<std::uint8_t> copy = original;
  switch (mutation_of(index)) {
    case Mutation::bit_flip:
      flip_bit(copy, copy.size(), random);
      break;
    case Mutation::header_bit_flip:
      flip_bit(copy, 128, random);
      break;
    case Mutation::bytes_replaced:
      for (std::size_t k = 1 + below(random, 8); k > 0 && !copy.empty(); --k) {
        copy[below(random, copy.size())] = random_byte(random);
      }
      break;
    case Mutation::truncated:
      copy.resize(below(random, copy.size()));
      break;
    case Mutation::extended:
      for (std::size_t k = 1 + below(random, 4096); k > 0; --k) {
        copy.push_back(random_byte(random));
      }
      break;
    case Mutation::extreme_field:
      set_extreme_field(copy, random);
      break;
    case Mutation::junk:
      copy.resize(std::min<std::size_t>(copy.size(), 6) + below(random, 2 * original.size() + 1));
      for (std::size_t k = 6; k < copy.size(); ++k) {
        copy[k] = random_byte(random);
      }
      break;
    case Mutation::block_moved:
      move_block(copy, random);
      break;
  }
  return copy;
}

}  // namespace tavrinox_camera_convertor::bench
