// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include <string>

namespace tavrinox_camera_convertor
{

/**
 * @brief The configuration a tool reads without --config: the one the node reads.
 *
 * A tool installed with the package (PREFIX/lib/tavrinox_camera_convertor/) reads
 * PREFIX/share/tavrinox_camera_convertor/config/camera_config.yaml; one run from a build
 * directory reads `source_tree_config`, the file in the source tree it was built from.
 */
std::string default_config_path(const std::string & source_tree_config);

}  // namespace tavrinox_camera_convertor
