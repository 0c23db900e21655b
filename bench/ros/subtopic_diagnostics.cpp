// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "subtopic_diagnostics.hpp"

#include <cstddef>
#include <string>

namespace tavrinox_camera_convertor
{
namespace
{

/// The node's names of its outputs in its diagnostics keys, in OutputKind order.
constexpr std::array<const char *, 5> kDiagnosticsNames = {
  "cam1_cloud", "cam2_cloud", "depth image", "colour image", "converted_cloud"};
constexpr const char * kSubtopicsKey = "compressed subtopics of the ";

}  // namespace

std::optional<SubtopicSnapshot> subtopic_snapshot(
  const diagnostic_msgs::msg::DiagnosticArray & array)
{
  SubtopicSnapshot snapshot;
  bool found = false;
  for (const auto & status : array.status) {
    for (const auto & value : status.values) {
      if (value.key.rfind(kSubtopicsKey, 0) != 0) {
        continue;
      }
      const std::string name = value.key.substr(std::string(kSubtopicsKey).size());
      for (std::size_t k = 0; k < kDiagnosticsNames.size(); ++k) {
        if (name == kDiagnosticsNames[k]) {
          snapshot[k] = parse_subtopic_counts(value.value);
          found = true;
        }
      }
    }
  }
  if (!found) {
    return std::nullopt;
  }
  return snapshot;
}

}  // namespace tavrinox_camera_convertor
