// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// Spoilt copies of a payload, as a damaged link, a buggy publisher or an attacker may deliver
// them, and the tally of what a decoder made of them.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace tavrinox_camera_convertor::bench
{

/// The ways a copy is spoilt, taken in turn.
enum class Mutation
{
  bit_flip,         ///< one bit anywhere
  header_bit_flip,  ///< one bit of the first 128 bytes: header, camera, start of the frame
  bytes_replaced,   ///< one to eight bytes anywhere set to random values
  truncated,        ///< cut at a random length, down to nothing
  extended,         ///< one to 4096 random bytes appended
  extreme_field,    ///< four aligned bytes of the first 32 set to 0, 1, 2^31, 2^32 - 1 or 2^16
  junk,             ///< the first six bytes kept, the rest random, of a random length
  block_moved,      ///< a run of up to 256 bytes copied over another place
};

/// Every mutation, in the order the copies take them.
inline constexpr std::array<Mutation, 8> kMutations = {
  Mutation::bit_flip, Mutation::header_bit_flip, Mutation::bytes_replaced, Mutation::truncated,
  Mutation::extended, Mutation::extreme_field, Mutation::junk, Mutation::block_moved};

/// @brief The mutation's name in the tables, e.g. "bit_flip".
const char * name_of(Mutation mutation);

/// @brief The mutation copy number `index` undergoes.
inline Mutation mutation_of(std::size_t index) {return kMutations[index % kMutations.size()];}

/**
 * @brief Copy number `index` of `original`, spoilt by mutation_of(index); the same original,
 *        index and seed give the same copy.
 */
std::vector<std::uint8_t> mutated_copy(
  const std::vector<std::uint8_t> & original, std::size_t index, std::uint64_t seed);

/// What a decoder made of one copy.
enum class Decoded
{
  refused,    ///< it threw
  identical,  ///< exactly what was encoded
  different,  ///< something else: what a payload's checksum is there to prevent
};

/// What a decoder made of the copies, in all and by mutation.
struct MutationTally
{
  std::size_t copies = 0;
  std::array<std::size_t, 3> outcomes{};  ///< indexed by Decoded
  std::array<std::array<std::size_t, 3>, kMutations.size()> by_mutation{};

  std::size_t count(Decoded decoded) const {return outcomes[static_cast<std::size_t>(decoded)];}
};

/**
 * @brief Hands `copies` mutated copies of `original` to `decode`, a callable taking
 *        (const std::uint8_t *, std::size_t) and returning Decoded, and counts its answers.
 */
template<typename Decode>
MutationTally tally_mutations(
  const std::vector<std::uint8_t> & original, std::size_t copies, std::uint64_t seed,
  Decode && decode)
{
  MutationTally tally;
  for (std::size_t index = 0; index < copies; ++index) {
    const std::vector<std::uint8_t> copy = mutated_copy(original, index, seed);
    const auto outcome = static_cast<std::size_t>(decode(copy.data(), copy.size()));
    ++tally.copies;
    ++tally.outcomes[outcome];
    ++tally.by_mutation[index % kMutations.size()][outcome];
  }
  return tally;
}

}  // namespace tavrinox_camera_convertor::bench
