// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include <stdexcept>

namespace tavrinox_camera_convertor
{

/// A cloud that cannot be encoded, or a payload that cannot be decoded, with a text that says why.
class CloudCodecError : public std::runtime_error
{
public:
  using std::runtime_error::runtime_error;
};

}  // namespace tavrinox_camera_convertor
