// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "process_usage.hpp"

#include <unistd.h>

#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>

namespace tavrinox_camera_convertor
{

std::optional<ProcessUsage> read_process_usage(pid_t pid)
{
  const std::string root = "/proc/" + std::to_string(pid);
  std::ifstream stat(root + "/stat");
  std::string line;
  if (!std::getline(stat, line)) {
    return std::nullopt;
  }
  // The command name in parentheses may hold blanks; the fields after it are plain numbers.
  const auto name_end = line.rfind(')');
  if (name_end == std::string::npos) {
    return std::nullopt;
  }
  std::istringstream fields(line.substr(name_end + 2));
  std::string field;
  std::int64_t user_ticks = 0;
  std::int64_t system_ticks = 0;
  // After the name: state is field 3; utime and stime are fields 14 and 15.
  for (int number = 3; number <= 15 && fields >> field; ++number) {
    if (number == 14) {
      user_ticks = std::stol(field);
    } else if (number == 15) {
      system_ticks = std::stol(field);
    }
  }
  ProcessUsage usage;
  usage.cpu_ms = 1000.0 * static_cast<double>(user_ticks + system_ticks) /
    static_cast<double>(sysconf(_SC_CLK_TCK));
  std::ifstream status(root + "/status");
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) == 0) {
      usage.resident_kib = std::stol(line.substr(6));
    }
  }
  return usage;
}

}  // namespace tavrinox_camera_convertor
