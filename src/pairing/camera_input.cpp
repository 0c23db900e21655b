// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "tavrinox_camera_convertor/pairing/camera_input.hpp"

namespace tavrinox_camera_convertor
{

const char * input_name(CameraInput input)
{
  switch (input) {
    case CameraInput::rgb_1:
      return "camera 1 colour";
    case CameraInput::depth_1:
      return "camera 1 depth";
    case CameraInput::rgb_2:
      return "camera 2 colour";
    case CameraInput::depth_2:
      return "camera 2 depth";
  }
  return "unknown input";
}

}  // namespace tavrinox_camera_convertor
