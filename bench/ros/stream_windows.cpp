// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "stream_windows.hpp"

namespace tavrinox_camera_convertor
{

std::vector<Window> plan_windows(
  std::uint32_t warm_up, std::uint32_t measured, std::uint32_t settle, std::int64_t count)
{
  Window first;
  first.sets = {warm_up, warm_up + measured};
  if (count == 1) {
    return {first};
  }
  first.name = "first";
  Window second;
  second.name = "second";
  second.sets = {first.sets.end + settle, first.sets.end + settle + measured};
  return {first, second};
}

}  // namespace tavrinox_camera_convertor
