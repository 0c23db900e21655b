// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include "frame_inputs.hpp"
#include "tavrinox_camera_convertor/pipeline/frame_output.hpp"
#include "tavrinox_camera_convertor/pipeline/frame_pipeline.hpp"
#include "tavrinox_camera_convertor/pipeline/frame_products.hpp"

namespace tavrinox_camera_convertor
{

/**
 * @brief Runs one frame set through `pipeline`, exactly as the node does, and keeps what it
 *        publishes with the time its stages took.
 * @throws FrameError when the pipeline rejects the frame
 */
FrameProducts process_frame(FramePipeline & pipeline, const FrameInputs & inputs, Clock & clock);

}  // namespace tavrinox_camera_convertor
