// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "watched_processes.hpp"

#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <utility>

namespace tavrinox_camera_convertor
{

WatchedProcesses::WatchedProcesses(const std::string & watch_list)
: processes_{{"self", getpid(), 0, 0}}
{
  std::stringstream items(watch_list);
  std::string item;
  while (std::getline(items, item, ',')) {
    const auto colon = item.find(':');
    if (colon == std::string::npos) {
      throw std::invalid_argument("watch: expected name:pid, got \"" + item + "\"");
    }
    const auto pid = static_cast<pid_t>(std::stol(item.substr(colon + 1)));
    processes_.push_back({item.substr(0, colon), pid, 0, 0});
  }
}

std::vector<std::optional<ProcessUsage>> WatchedProcesses::usage_now() const
{
  std::vector<std::optional<ProcessUsage>> usage;
  for (const WatchedProcess & process : processes_) {
    usage.push_back(read_process_usage(process.pid));
  }
  return usage;
}

void WatchedProcesses::start_memory(
  const std::vector<std::optional<ProcessUsage>> & usage,
  std::chrono::steady_clock::time_point origin)
{
  origin_ = origin;
  for (std::size_t k = 0; k < processes_.size(); ++k) {
    const std::int64_t resident = usage[k] ? usage[k]->resident_kib : 0;
    processes_[k].resident_min_kib = resident;
    processes_[k].resident_max_kib = resident;
  }
}

void WatchedProcesses::sample_memory()
{
  std::vector<std::int64_t> row = {
    std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now() - origin_).count()};
  for (WatchedProcess & process : processes_) {
    const std::optional<ProcessUsage> usage = read_process_usage(process.pid);
    row.push_back(usage ? usage->resident_kib : -1);
    if (usage) {
      process.resident_min_kib = std::min(process.resident_min_kib, usage->resident_kib);
      process.resident_max_kib = std::max(process.resident_max_kib, usage->resident_kib);
    }
  }
  samples_.push_back(std::move(row));
}

void WatchedProcesses::write_memory_timeline(const std::string & path) const
{
  std::ofstream csv(path);
  csv << "ms";
  for (const WatchedProcess & process : processes_) {
    csv << ',' << process.name << "_rss_kib";
  }
  csv << '\n';
  for (const std::vector<std::int64_t> & row : samples_) {
    for (std::size_t k = 0; k < row.size(); ++k) {
      csv << (k == 0 ? "" : ",") << row[k];
    }
    csv << '\n';
  }
}

}  // namespace tavrinox_camera_convertor
