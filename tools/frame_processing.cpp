// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "frame_processing.hpp"

#include "tavrinox_camera_convertor/pipeline/color_conversion.hpp"

namespace tavrinox_camera_convertor
{

FrameProducts process_frame(FramePipeline & pipeline, const FrameInputs & inputs, Clock & clock)
{
  FrameProducts products;
  // The buffers are taken rather than copied: a tool keeps one frame's outputs at a time.
  KeepingOutput output(products, Keeping::take);
  const ImageViewColorConverter color(view_of(inputs.rgb_1));
  pipeline.process({view_of(inputs.depth_1), view_of(inputs.depth_2)}, color, clock, output);
  products.timings = pipeline.last_timings();
  return products;
}

}  // namespace tavrinox_camera_convertor
