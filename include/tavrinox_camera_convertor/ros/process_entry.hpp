// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

namespace tavrinox_camera_convertor
{

/**
 * @brief Starts ROS 2, builds the node, spins a 4-thread executor until SIGINT or SIGTERM,
 *        then shuts down and tears down executor before node.
 * @return 0 after a normal end; 1 when the node cannot be built (one FATAL line says why)
 */
int run_camera_convertor(int argc, char ** argv);

}  // namespace tavrinox_camera_convertor
