// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace tavrinox_camera_convertor
{

/// The four images of a set, in the order the synchronizer takes its inputs.
enum class CameraInput : std::uint8_t
{
  rgb_1,
  depth_1,
  rgb_2,
  depth_2,
};

inline constexpr std::size_t kCameraInputCount = 4;

/// Every input, in synchronizer order, for loops over the inputs.
inline constexpr std::array<CameraInput, kCameraInputCount> kCameraInputs = {
  CameraInput::rgb_1, CameraInput::depth_1, CameraInput::rgb_2, CameraInput::depth_2};

/// Header stamps of one set's four images (nanoseconds), indexed by CameraInput.
using InputStamps = std::array<std::int64_t, kCameraInputCount>;

/// @brief The input's position in synchronizer order, to index arrays by input.
constexpr std::size_t index_of(CameraInput input) {return static_cast<std::size_t>(input);}

/// @brief 1 or 2: the camera the input comes from.
constexpr int camera_of(CameraInput input) {return index_of(input) < 2 ? 1 : 2;}

/// @brief Whether the input is a depth image (else a colour image).
constexpr bool is_depth(CameraInput input) {return index_of(input) % 2 == 1;}

/// @brief The name users read in logs and diagnostics, e.g. "camera 2 depth".
const char * input_name(CameraInput input);

}  // namespace tavrinox_camera_convertor
