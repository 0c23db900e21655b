// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "tavrinox_camera_convertor/process/large_buffer_allocation.hpp"

#include <malloc.h>

#include <cstdlib>
#include <cstring>

namespace tavrinox_camera_convertor
{

bool keep_large_buffers_allocated()
{
  const char * const tunables = std::getenv("GLIBC_TUNABLES");
  if (tunables != nullptr && std::strstr(tunables, "glibc.malloc.") != nullptr) {
    return false;
  }
  // 32 MiB is the largest threshold glibc takes; a 1280 x 720 cloud is 15 MB.
  constexpr int kMmapThreshold = 32 * 1024 * 1024;
  constexpr int kTrimThreshold = 1024 * 1024 * 1024;
  return mallopt(M_MMAP_THRESHOLD, kMmapThreshold) == 1 &&
         mallopt(M_TRIM_THRESHOLD, kTrimThreshold) == 1 && mallopt(M_ARENA_MAX, 1) == 1;
}

}  // namespace tavrinox_camera_convertor
