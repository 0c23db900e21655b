// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "frame_inputs.hpp"

#include "image_files.hpp"
#include "runner_error.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

std::string size_text(const ImageMessage & image)
{
  return std::to_string(image.width) + " x " + std::to_string(image.height);
}

}  // namespace

FrameInputs read_frame_inputs(const FrameFiles & files)
{
  FrameInputs inputs;
  inputs.depth_1 = read_depth_image(files.depth_1);
  inputs.depth_2 = read_depth_image(files.depth_2);
  inputs.rgb_1 = read_color_image(files.rgb_1);
  if (files.rgb_2) {
    inputs.rgb_2 = read_color_image(*files.rgb_2);
  }
  if (files.truth_1) {
    inputs.truth_1 = read_depth_image(*files.truth_1);
    if (inputs.truth_1->width != inputs.depth_1.width ||
      inputs.truth_1->height != inputs.depth_1.height)
    {
      throw RunnerError(
              *files.truth_1 + ": the truth is " + size_text(
                *inputs.truth_1) + " pixels but camera 1's depth " +
              files.depth_1 + " is " + size_text(inputs.depth_1));
    }
  }
  return inputs;
}

}  // namespace tavrinox_camera_convertor
