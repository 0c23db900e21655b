// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// How the benchmarks end: 0 when all went well, 1 when results disagreed, 2 when the benchmark
// could not run (an option it does not take, a file it cannot read).
#pragma once

#include <cstdio>
#include <exception>

namespace tavrinox_camera_convertor::bench
{

/**
 * @brief A benchmark's main: what `run` returns, or 2 when it throws, after the exception's
 *        message on stderr as "`prefix`: message" and `usage`, if given, on a line of its own.
 */
inline int guarded_main(
  int (* run)(int, char **), int argc, char ** argv, const char * prefix,
  const char * usage = nullptr)
{
  try {
    return run(argc, argv);
  } catch (const std::exception & error) {
    std::fprintf(stderr, "%s: %s\n", prefix, error.what());
    if (usage != nullptr) {
      std::fprintf(stderr, "%s\n", usage);
    }
    return 2;
  }
}

/// @brief 0 when the results agreed; else 1, after "FAILED: `failure`" on stderr.
inline int agreement_status(bool agreed, const char * failure)
{
  if (!agreed) {
    std::fprintf(stderr, "FAILED: %s\n", failure);
    return 1;
  }
  return 0;
}

}  // namespace tavrinox_camera_convertor::bench
