// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// The converter's log as the fault benchmark reads it, for how long its warnings took.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tavrinox_camera_convertor
{

/// A line of the node's log: "[WARN] [1765300000.123456789] [Morvanteq]: text".
struct LogLine
{
  std::string level;
  std::int64_t time_ns = 0;  ///< system time
  std::string text;
};

/// @brief The lines of the log at `path` that have that form; the others are skipped.
std::vector<LogLine> read_log(const std::string & path);

/// @brief The first line at `level` from `after` on that contains `text`.
std::optional<LogLine> first_line(
  const std::vector<LogLine> & lines, const std::string & level, const std::string & text,
  std::int64_t after);

}  // namespace tavrinox_camera_convertor
