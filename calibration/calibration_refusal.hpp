// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include <stdexcept>

namespace tavrinox_camera_convertor
{

/// The frame set gives no trustworthy answer (too few points, no overlap, no convergence, an
/// implausible correction); the text says which and what to try.
class CalibrationRefusal : public std::runtime_error
{
public:
  using std::runtime_error::runtime_error;
};

}  // namespace tavrinox_camera_convertor
