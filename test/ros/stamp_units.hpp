// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// The units the node tests' stamps are written in, and a message's stamp in them.
#pragma once

#include <cstdint>

#include <builtin_interfaces/msg/time.hpp>

#include "pairing/time_units.hpp"

namespace tavrinox_camera_convertor::test
{

inline std::int64_t stamp_ns(const builtin_interfaces::msg::Time & stamp)
{
  return static_cast<std::int64_t>(stamp.sec) * kSecond + stamp.nanosec;
}

}  // namespace tavrinox_camera_convertor::test
