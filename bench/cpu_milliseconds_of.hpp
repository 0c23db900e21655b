// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include <time.h>

namespace tavrinox_camera_convertor::bench
{

/// @brief The processor time the calling thread spent in `work()`, in milliseconds: on a busy
///        machine what the work costs one core, where the steady clock adds the time others ran.
template<typename Work>
double cpu_milliseconds_of(Work && work)
{
  const auto now = [] {
      timespec time{};
      clock_gettime(CLOCK_THREAD_CPUTIME_ID, &time);
      return static_cast<double>(time.tv_sec) * 1e3 + static_cast<double>(time.tv_nsec) * 1e-6;
    };
  const double start = now();
  work();
  return now() - start;
}

}  // namespace tavrinox_camera_convertor::bench
