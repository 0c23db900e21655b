// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "tavrinox_camera_convertor/pairing/duration_text.hpp"

#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <string>

namespace tavrinox_camera_convertor
{
namespace
{

/// @brief |value| without overflow for the smallest int64_t.
std::uint64_t magnitude(std::int64_t value)
{
  return value < 0 ? 0u - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
}

/// @brief `value` divided by `unit`, rounded half up, in integers so that no digit is lost.
std::uint64_t rounded(std::uint64_t value, std::uint64_t unit)
{
  return value / unit + (value % unit >= unit - unit / 2 ? 1u : 0u);
}

}  // namespace

std::string duration_text(std::int64_t nanoseconds)
{
  const std::uint64_t ns = magnitude(nanoseconds);
  char text[32];
  const std::uint64_t ms = rounded(ns, 1000000u);
  if (ms < 1000u) {
    std::snprintf(text, sizeof(text), "%" PRIu64 " ms", ms);
  } else {
    const std::uint64_t tenths = rounded(ns, 100000000u);
    std::snprintf(text, sizeof(text), "%" PRIu64 ".%" PRIu64 " s", tenths / 10u, tenths % 10u);
  }
  return text;
}

std::string milliseconds_text(std::int64_t nanoseconds)
{
  const std::uint64_t tenths = rounded(magnitude(nanoseconds), 100000u);
  char text[32];
  std::snprintf(text, sizeof(text), "%" PRIu64 ".%" PRIu64 " ms", tenths / 10u, tenths % 10u);
  return text;
}

}  // namespace tavrinox_camera_convertor
