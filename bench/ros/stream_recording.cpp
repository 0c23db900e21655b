// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "stream_recording.hpp"

#include <fstream>

#include "bad_sets.hpp"

namespace tavrinox_camera_convertor
{

void write_set_timeline(
  const std::string & path, const StreamRecording & recording, std::uint32_t first_set,
  std::uint32_t bad_every)
{
  const std::vector<std::int64_t> & published = recording.published_ns;
  std::ofstream csv(path);
  csv << "set,published_ms,bad";
  for (const char * name : kOutputNames) {
    csv << ',' << name << "_ms";
  }
  csv << '\n';
  const std::int64_t origin = published[first_set];
  for (std::uint32_t frame_set = first_set; frame_set < published.size(); ++frame_set) {
    if (published[frame_set] < 0) {
      continue;
    }
    csv << frame_set << ',' << (published[frame_set] - origin) / 1e6 << ',' <<
      bad_kind(frame_set, bad_every).has_value();
    for (const auto & received : recording.received_ns) {
      csv << ',';
      if (received[frame_set] >= 0) {
        csv << (received[frame_set] - published[frame_set]) / 1e6;
      }
    }
    csv << '\n';
  }
}

}  // namespace tavrinox_camera_convertor
