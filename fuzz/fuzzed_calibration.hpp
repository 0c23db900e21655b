// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// Calibration drawn from a fuzz input: plausible values, the special ones (zeros, NaN,
// infinities, extremes) and any bit pattern.
#pragma once

#include <fuzzer/FuzzedDataProvider.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>

#include "tavrinox_camera_convertor/geometry/camera_config.hpp"
#include "tavrinox_camera_convertor/geometry/extrinsic_transform.hpp"

namespace tavrinox_camera_convertor::fuzz
{

inline float consume_calibration_value(FuzzedDataProvider & input, float typical_magnitude)
{
  constexpr std::array<float, 12> kSpecial = {
    0.0f, -0.0f, std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
    -std::numeric_limits<float>::infinity(), std::numeric_limits<float>::denorm_min(),
    std::numeric_limits<float>::max(), std::numeric_limits<float>::lowest(), 1e-30f, 1e30f, 1e9f,
    -1e9f};
  switch (input.ConsumeIntegralInRange<int>(0, 3)) {
    case 0:
      return input.ConsumeFloatingPointInRange<float>(
        -2.0f * typical_magnitude, 2.0f * typical_magnitude);
    case 1:
      return kSpecial[input.ConsumeIntegralInRange<std::size_t>(0, kSpecial.size() - 1)];
    default: {
        // Any bit pattern, NaN payloads and subnormals included.
        const std::uint32_t bits = input.ConsumeIntegral<std::uint32_t>();
        float value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
      }
  }
}

inline CameraIntrinsics consume_intrinsics(FuzzedDataProvider & input)
{
  CameraIntrinsics intrinsics;
  intrinsics.fx = consume_calibration_value(input, 600.0f);
  intrinsics.fy = consume_calibration_value(input, 600.0f);
  intrinsics.cx = consume_calibration_value(input, 640.0f);
  intrinsics.cy = consume_calibration_value(input, 360.0f);
  return intrinsics;
}

inline ExtrinsicTransform consume_extrinsic(FuzzedDataProvider & input)
{
  std::array<float, 3> angles_deg{};
  std::array<float, 3> translation_m{};
  for (float & angle : angles_deg) {
    angle = consume_calibration_value(input, 360.0f);
  }
  for (float & coordinate : translation_m) {
    coordinate = consume_calibration_value(input, 2.0f);
  }
  return make_extrinsic_transform(angles_deg, translation_m);
}

}  // namespace tavrinox_camera_convertor::fuzz
