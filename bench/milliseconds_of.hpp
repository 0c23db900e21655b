// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include <chrono>

namespace tavrinox_camera_convertor::bench
{

/// @brief How long `work()` took on the steady clock, in milliseconds.
template<typename Work>
double milliseconds_of(Work && work)
{
  using SteadyClock = std::chrono::steady_clock;
  const SteadyClock::time_point start = SteadyClock::now();
  work();
  return std::chrono::duration<double, std::milli>(SteadyClock::now() - start).count();
}

}  // namespace tavrinox_camera_convertor::bench
