// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// The units the pairing tests' stamps and times are written in.
#pragma once

#include <cstdint>

namespace tavrinox_camera_convertor::test
{

inline constexpr std::int64_t kMillisecond = 1000000;
inline constexpr std::int64_t kSecond = 1000 * kMillisecond;

}  // namespace tavrinox_camera_convertor::test
