// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tavrinox_camera_convertor
{

/**
 * @brief XXH64 of `size` bytes at `data` with seed 0: a cloud received raw in one process and
 *        one decoded in another are compared by this, not byte for byte across processes.
 *
 * Four lanes of 64-bit words, so hashing a 15 MB cloud costs a few milliseconds, about what
 * reading it from memory costs; any alignment of `data` gives the same value.
 */
std::uint64_t hash_bytes(const std::uint8_t * data, std::size_t size);

}  // namespace tavrinox_camera_convertor
