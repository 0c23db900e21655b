// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include <vector>

#include "cpu_milliseconds_of.hpp"
#include "median_of.hpp"
#include "milliseconds_of.hpp"

namespace tavrinox_camera_convertor::bench
{

/// A code's medians over its timed runs, in milliseconds.
struct CodecTimings
{
  double encode_cpu = 0.0;   ///< the calling thread's processor time
  double decode_cpu = 0.0;
  double encode_wall = 0.0;  ///< the steady clock
  double decode_wall = 0.0;
};

/**
 * @brief Times `encode()` then `decode()`, `runs` times in turn, on both clocks at once: the
 *        processor time is what a code costs one core on a busy machine, the steady clock what
 *        a receiver waits.
 * @param runs at least one
 */
template<typename Encode, typename Decode>
CodecTimings time_codec(int runs, Encode && encode, Decode && decode)
{
  std::vector<double> encode_cpu;
  std::vector<double> decode_cpu;
  std::vector<double> encode_wall;
  std::vector<double> decode_wall;
  for (int run = 0; run < runs; ++run) {
    encode_wall.push_back(
      milliseconds_of(
        [&] {
          encode_cpu.push_back(cpu_milliseconds_of(encode));
        }));
    decode_wall.push_back(
      milliseconds_of(
        [&] {
          decode_cpu.push_back(cpu_milliseconds_of(decode));
        }));
  }
  return {median_of(encode_cpu), median_of(decode_cpu), median_of(encode_wall),
    median_of(decode_wall)};
}

}  // namespace tavrinox_camera_convertor::bench
