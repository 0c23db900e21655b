// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

namespace tavrinox_camera_convertor
{

/// Wall time of each stage of a frame, in milliseconds.
struct FrameTimings
{
  double check_ms = 0.0;                   ///< reading and checking both depth images
  /// both cameras' clouds, rendered into camera 1's holes as made
  double clouds_and_completion_ms = 0.0;
  double converted_cloud_ms = 0.0;         ///< back-projection of the completed image
  double publish_ms = 0.0;                 ///< colour conversion and the five outputs
  /// @brief The sum of the stages.
  double total_ms() const
  {
    return check_ms + clouds_and_completion_ms + converted_cloud_ms + publish_ms;
  }
};

}  // namespace tavrinox_camera_convertor
