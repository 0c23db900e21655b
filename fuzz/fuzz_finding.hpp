// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// What a fuzz target does when an input breaks a rule: say which, then abort, so that libFuzzer
// reports the finding and keeps the input.
#pragma once

#include <errno.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace tavrinox_camera_convertor::fuzz
{

/// @brief Writes "<target>: <what>" on standard error and aborts.
[[noreturn]] inline void finding(const std::string & what)
{
  // glibc's name of the running program: the target's, whichever of them includes this.
  std::fprintf(stderr, "%s: %s\n", program_invocation_short_name, what.c_str());
  std::abort();
}

/// @brief A finding that says `what` unless `condition` holds.
inline void require(bool condition, const char * what)
{
  if (!condition) {
    finding(what);
  }
}

}  // namespace tavrinox_camera_convertor::fuzz
