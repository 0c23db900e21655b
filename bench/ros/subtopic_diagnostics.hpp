// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// What the converter's diagnostics say its compressed subtopics have sent and skipped.
#pragma once

#include <array>
#include <optional>

#include <diagnostic_msgs/msg/diagnostic_array.hpp>

#include "remote_figures.hpp"

namespace tavrinox_camera_convertor
{

/// What the node's subtopics have done, by OutputKind, as its diagnostics last said.
using SubtopicSnapshot = std::array<std::optional<SubtopicCounts>, 5>;

/// @brief The subtopics' counts in `array`, if it has any.
std::optional<SubtopicSnapshot> subtopic_snapshot(
  const diagnostic_msgs::msg::DiagnosticArray & array);

}  // namespace tavrinox_camera_convertor
