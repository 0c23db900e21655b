// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include <cstdint>

#include "tavrinox_camera_convertor/geometry/camera_config.hpp"
#include "tavrinox_camera_convertor/geometry/image.hpp"

namespace tavrinox_camera_convertor
{

/// Camera 1 measures nothing farther than this along its optical axis.
inline constexpr std::uint16_t kSampleCamera1MaxRangeMm = 1800;

/// One frame set of the generated tabletop, as both cameras would deliver it.
struct SampleScene
{
  ImageMessage depth_1;  ///< camera 1, "16UC1" millimetres, with the gaps camera 2 can fill
  ImageMessage depth_2;  ///< camera 2, "16UC1" millimetres, complete
  ImageMessage truth_1;  ///< camera 1's depth without any gap, for scoring the completion
  ImageMessage rgb_1;    ///< camera 1's colour, "bgr8"
  ImageMessage rgb_2;    ///< camera 2's colour, "bgr8"
};

/**
 * @brief Ray-casts the sample tabletop into both cameras of `config`.
 *
 * Pixel (column u, row v) looks along ((u - cx) / fx, (v - cy) / fy, 1) in its camera's frame,
 * mapped to the arm frame by the camera's extrinsic transform; its depth is the hit's camera-frame
 * z in millimetres, rounded, and 0 where nothing is hit. Colours are per-surface albedo with
 * Lambert shading, shadows and a checkered table. Camera 1 loses its depth on the dark box,
 * on a band along depth edges, beyond kSampleCamera1MaxRangeMm and on a patch of glare
 * on the table. The result depends on its arguments only.
 * @param width and @p height image size in pixels; the intrinsics are used unchanged
 * @throws std::invalid_argument for a zero size or one above 8192 pixels a side
 */
SampleScene render_sample_scene(
  const CameraConfig & config, std::uint32_t width = 640,
  std::uint32_t height = 480);

}  // namespace tavrinox_camera_convertor
