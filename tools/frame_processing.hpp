// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include "frame_inputs.hpp"
#include "tavrinox_camera_convertor/frame_output.hpp"
#include "tavrinox_camera_convertor/frame_pipeline.hpp"

namespace tavrinox_camera_convertor
{

/// The five outputs the pipeline published for one frame, and the time its stages took.
struct FrameProducts
{
  CloudMessage cam1_cloud;
  CloudMessage cam2_cloud;
  ImageMessage completed_depth;  ///< "16UC1", camera 1's size
  ImageMessage color;            ///< "rgb8"
  CloudMessage converted_cloud;
  FrameTimings timings;
};

/**
 * @brief Runs one frame set through `pipeline`, exactly as the node does, and keeps what it publishes.
 * @throws FrameError when the pipeline rejects the frame
 */
FrameProducts process_frame(FramePipeline & pipeline, const FrameInputs & inputs, Clock & clock);

}  // namespace tavrinox_camera_convertor
