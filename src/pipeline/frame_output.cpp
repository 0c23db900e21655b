// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "tavrinox_camera_convertor/pipeline/frame_output.hpp"

#include <chrono>

namespace tavrinox_camera_convertor
{

Stamp SystemClock::now()
{
  const auto since_epoch = std::chrono::system_clock::now().time_since_epoch();
  const auto nanoseconds =
    std::chrono::duration_cast<std::chrono::nanoseconds>(since_epoch).count();
  Stamp stamp;
  stamp.sec = static_cast<std::int32_t>(nanoseconds / 1000000000);
  stamp.nanosec = static_cast<std::uint32_t>(nanoseconds % 1000000000);
  return stamp;
}

}  // namespace tavrinox_camera_convertor
