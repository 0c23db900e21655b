// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// What a command-line parser says when it refuses its arguments.
#pragma once

#include <string>

#include "runner_error.hpp"

namespace tavrinox_camera_convertor::test
{

/// @brief The text of the UsageError that `parse` throws, or "" when it returns.
template<typename Parse>
std::string usage_error_text(const Parse & parse)
{
  try {
    parse();
  } catch (const UsageError & error) {
    return error.what();
  }
  return "";
}

}  // namespace tavrinox_camera_convertor::test
