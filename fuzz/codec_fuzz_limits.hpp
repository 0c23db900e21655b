// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include "tavrinox_camera_convertor/codec/cloud_decoder.hpp"

namespace tavrinox_camera_convertor::fuzz
{

/// @brief The codec targets' decoder limits: small enough that one input takes milliseconds,
///        large enough for every code path.
inline CloudDecoderLimits codec_fuzz_limits()
{
  CloudDecoderLimits limits;
  limits.max_pixels = 1u << 16;
  limits.max_decoded_bytes = 1u << 20;
  return limits;
}

}  // namespace tavrinox_camera_convertor::fuzz
