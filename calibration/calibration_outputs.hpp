// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "calibration_options.hpp"
#include "calibration_picture.hpp"
#include "loaded_config.hpp"

namespace tavrinox_camera_convertor
{

/**
 * @brief Writes the picture (to --out, else next to --write's file, else nowhere) and, when given, the
 *        corrected configuration to --write's file; both appear together or not at all.
 *
 * The configuration is read back with the node's loader before it is committed and must give
 * exactly `corrected`'s calibration. Says on `out` what was written.
 * @throws RunnerError when a file or directory cannot be written, or --write names a directory
 */
void write_outputs(
  const CalibrationOptions & options, const std::vector<PictureRow> & rows,
  const std::string & picture_name,
  const std::optional<LoadedConfig> & corrected, std::ostream & out);

}  // namespace tavrinox_camera_convertor
