// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// Which topics and services the middleware refused to a node being built, from rcl's own
// debug lines: under an enforced SROS2 enclave, what its permissions leave out.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "tavrinox_camera_convertor/ros/secured_start.hpp"

namespace tavrinox_camera_convertor
{

/**
 * @brief While it lives, follows every publisher, subscription, service and client that the
 *        thread which made it asks rcl for, and keeps those whose creation never finished.
 *
 * Libraries that catch the failure (image_transport and point_cloud_transport log an error and
 * go on without the subtopic) do not hide it from the recorder. rcl's debug lines that were
 * hidden before stay hidden. Only one recorder follows at a time; a second one made meanwhile
 * records nothing.
 *
 * With `crash_line`, a crash of the thread while it creates a subscription writes
 * crash_line(that subscription) and ends the process with status 1: rmw_fastrtps_cpp of Humble
 * dereferences the reader the middleware refused, so there a refused subscription is a SIGSEGV.
 */
class EntityCreationRecorder
{
public:
  explicit EntityCreationRecorder(
    std::function<std::string(const RefusedEntity &)> crash_line = nullptr);
  ~EntityCreationRecorder();
  EntityCreationRecorder(const EntityCreationRecorder &) = delete;
  EntityCreationRecorder & operator=(const EntityCreationRecorder &) = delete;

  /// @brief What was refused so far, in the order it was asked for.
  std::vector<RefusedEntity> refused() const;

private:
  bool following_ = false;
};

}  // namespace tavrinox_camera_convertor
