// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include <stdexcept>
#include <string>

namespace tavrinox_camera_convertor
{

/// A frame that cannot be processed, with a text that says which input and why.
class FrameError : public std::runtime_error
{
public:
  using std::runtime_error::runtime_error;
};

}  // namespace tavrinox_camera_convertor
