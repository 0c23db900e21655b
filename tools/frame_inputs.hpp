// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include <optional>
#include <string>

#include "tavrinox_camera_convertor/geometry/image.hpp"

namespace tavrinox_camera_convertor
{

/// The image files of one frame set.
struct FrameFiles
{
  std::string depth_1;
  std::string depth_2;
  std::string rgb_1;
  std::optional<std::string> rgb_2;
  std::optional<std::string> truth_1;  ///< camera 1's true depth, for scoring the completion
};

/// The images of one frame set, as the node would receive them.
struct FrameInputs
{
  ImageMessage depth_1;  ///< "16UC1"
  ImageMessage depth_2;  ///< "16UC1"
  ImageMessage rgb_1;    ///< "bgr8"
  std::optional<ImageMessage> rgb_2;    ///< "bgr8"; takes part in pairing only
  std::optional<ImageMessage> truth_1;  ///< "16UC1", camera 1's size
};

/**
 * @brief Reads and checks every file of a frame set.
 * @throws RunnerError naming the first file that is missing, unreadable or of the wrong kind,
 *         or a truth whose size differs from camera 1's depth image
 */
FrameInputs read_frame_inputs(const FrameFiles & files);

}  // namespace tavrinox_camera_convertor
