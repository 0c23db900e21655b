// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// What the stream benchmark saw of its frame sets: when each was published and when each of its
// outputs came back.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "remote_figures.hpp"

namespace tavrinox_camera_convertor
{

/// Times on the steady clock, in nanoseconds; -1 for what never happened.
struct StreamRecording
{
  /// @brief Room for `sets` sets, none published yet.
  explicit StreamRecording(std::uint32_t sets)
  : published_ns(sets, -1)
  {
    for (auto & received : received_ns) {
      received.assign(sets, -1);
    }
  }

  std::vector<std::int64_t> published_ns;                ///< per set
  std::array<std::vector<std::int64_t>, 5> received_ns;  ///< per OutputKind, then set
  std::size_t untagged = 0;            ///< outputs whose tag named no published set
  std::vector<OutputRecord> records;   ///< with outputs_csv: every output received
};

/**
 * @brief Every set from `first_set` on that was published, on a line of its own: when it was
 *        published, whether it was a bad one (every `bad_every`th), and when each output came,
 *        to tell outliers spread over the run from a stall that held many sets at once.
 */
void write_set_timeline(
  const std::string & path, const StreamRecording & recording, std::uint32_t first_set,
  std::uint32_t bad_every);

}  // namespace tavrinox_camera_convertor
