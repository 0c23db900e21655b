// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace tavrinox_camera_convertor
{

/// What a network interface has received and sent since it came up, as the kernel counts it.
struct LinkCounters
{
  std::uint64_t rx_bytes = 0;
  std::uint64_t rx_packets = 0;
  std::uint64_t rx_dropped = 0;
  std::uint64_t tx_bytes = 0;
  std::uint64_t tx_packets = 0;
  std::uint64_t tx_dropped = 0;
};

/// @brief The counters that differ between `later` and `earlier`, field by field.
LinkCounters operator-(const LinkCounters & later, const LinkCounters & earlier);

/**
 * @brief The counters of `interface` in `text`, the contents of /proc/net/dev, or nothing when
 *        the interface is not listed or its line is not understood.
 */
std::optional<LinkCounters> parse_link_counters(
  const std::string & text, const std::string & interface);

/**
 * @brief The counters of `interface` as this process's network namespace sees it (the file is
 *        per namespace, unlike /sys/class/net, which shows the namespace it was mounted in).
 */
std::optional<LinkCounters> read_link_counters(const std::string & interface);

}  // namespace tavrinox_camera_convertor
