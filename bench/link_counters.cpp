// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "link_counters.hpp"

#include <fstream>
#include <sstream>
#include <vector>

namespace tavrinox_camera_convertor
{

LinkCounters operator-(const LinkCounters & later, const LinkCounters & earlier)
{
  LinkCounters difference;
  difference.rx_bytes = later.rx_bytes - earlier.rx_bytes;
  difference.rx_packets = later.rx_packets - earlier.rx_packets;
  difference.rx_dropped = later.rx_dropped - earlier.rx_dropped;
  difference.tx_bytes = later.tx_bytes - earlier.tx_bytes;
  difference.tx_packets = later.tx_packets - earlier.tx_packets;
  difference.tx_dropped = later.tx_dropped - earlier.tx_dropped;
  return difference;
}

std::optional<LinkCounters> parse_link_counters(
  const std::string & text, const std::string & interface)
{
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    // "  name: rx_bytes rx_packets errs drop fifo frame compressed multicast tx_bytes ...";
    // the two heading lines have no colon before their bars.
    const auto colon = line.find(':');
    if (colon == std::string::npos) {
      continue;
    }
    const auto name_start = line.find_first_not_of(' ');
    if (line.compare(name_start, colon - name_start, interface) != 0 ||
      colon - name_start != interface.size())
    {
      continue;
    }
    std::istringstream fields(line.substr(colon + 1));
    std::vector<std::uint64_t> values;
    std::uint64_t value = 0;
    while (fields >> value) {
      values.push_back(value);
    }
    if (values.size() < 16) {
      return std::nullopt;
    }
    LinkCounters counters;
    counters.rx_bytes = values[0];
    counters.rx_packets = values[1];
    counters.rx_dropped = values[3];
    counters.tx_bytes = values[8];
    counters.tx_packets = values[9];
    counters.tx_dropped = values[11];
    return counters;
  }
  return std::nullopt;
}

std::optional<LinkCounters> read_link_counters(const std::string & interface)
{
  std::ifstream file("/proc/self/net/dev");
  std::stringstream text;
  text << file.rdbuf();
  return parse_link_counters(text.str(), interface);
}

}  // namespace tavrinox_camera_convertor
