// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include <string>
#include <vector>

#include "frame_inputs.hpp"

namespace tavrinox_camera_convertor
{

/// One numbered frame set of a sequence directory.
struct SequenceFrame
{
  std::string id;  ///< the number as written in the file names, for example "000001"
  FrameFiles files;
};

/**
 * @brief Lists the frame sets of a sequence directory, in numeric order.
 *
 * A frame set is the files ID_depth1.*, ID_depth2.*, ID_rgb1.* and optionally ID_rgb2.* and
 * ID_truth1.*, where ID is a number (for example 000001_depth1.png). Other files are ignored.
 * @throws RunnerError when the directory is missing, holds no frame set, a frame set lacks a
 *         required file, or one role of a frame has two files
 */
std::vector<SequenceFrame> list_sequence_frames(const std::string & directory);

}  // namespace tavrinox_camera_convertor
