// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include <stdexcept>
#include <string>

namespace tavrinox_camera_convertor
{

/// The node could not start; the reason has been logged as a FATAL line already.
class StartError : public std::runtime_error
{
public:
  using std::runtime_error::runtime_error;
};

}  // namespace tavrinox_camera_convertor
