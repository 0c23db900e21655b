// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "node_log.hpp"

#include <cstddef>
#include <cstdio>
#include <fstream>

#include "clock_ns.hpp"

namespace tavrinox_camera_convertor
{

std::vector<LogLine> read_log(const std::string & path)
{
  std::vector<LogLine> lines;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    char level[16] = {};
    long long seconds = 0;  // NOLINT(runtime/int): sscanf's own type
    char fraction[16] = {};
    int consumed = 0;
    if (std::sscanf(
        line.c_str(), "[%15[A-Z]] [%lld.%15[0-9]] [%*[^]]]: %n", level, &seconds, fraction,
        &consumed) < 3 || consumed == 0)
    {
      continue;
    }
    std::string nanoseconds = fraction;
    nanoseconds.resize(9, '0');
    lines.push_back(
      {level, static_cast<std::int64_t>(seconds) * kSecond + std::stoll(nanoseconds),
        line.substr(static_cast<std::size_t>(consumed))});
  }
  return lines;
}

std::optional<LogLine> first_line(
  const std::vector<LogLine> & lines, const std::string & level, const std::string & text,
  std::int64_t after)
{
  for (const LogLine & line : lines) {
    if (line.level == level && line.time_ns >= after && line.text.find(text) != std::string::npos) {
      return line;
    }
  }
  return std::nullopt;
}

}  // namespace tavrinox_camera_convertor
