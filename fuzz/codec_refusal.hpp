// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// The codec targets' rule for what a decoder may throw: a payload is decoded, or refused with
// CloudCodecError; any other exception is a finding.
#pragma once

#include <exception>
#include <string>
#include <typeinfo>

#include "fuzz_finding.hpp"
#include "tavrinox_camera_convertor/codec/cloud_codec_error.hpp"

namespace tavrinox_camera_convertor::fuzz
{

/// @brief Runs `decode`: true when it returns, false when it refuses the payload with
///        CloudCodecError; anything else it throws is a finding.
template<typename Decode>
bool decoded_or_refused(Decode decode)
{
  try {
    decode();
    return true;
  } catch (const CloudCodecError &) {
    return false;
  } catch (const std::exception & error) {
    finding(std::string("decode threw ") + typeid(error).name() + ": " + error.what());
  }
}

}  // namespace tavrinox_camera_convertor::fuzz
