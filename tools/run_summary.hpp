// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include <cstddef>
#include <ostream>
#include <string>
#include <vector>

#include "cloud_view.hpp"
#include "completion_statistics.hpp"
#include "frame_inputs.hpp"
#include "frame_processing.hpp"

namespace tavrinox_camera_convertor
{

/// What the preview's two cloud views left out.
struct PreviewCoverage
{
  ViewCoverage top_view;
  ViewCoverage side_view;
};

/**
 * @brief Writes what a person checks after a frame: image sizes, points per cloud, what the
 *        preview's cloud views left out (only when they did), camera 1's holes and how many
 *        were filled, the scores against the truth when there is one, and the time of each
 *        pipeline stage.
 */
void print_frame_summary(
  std::ostream & out, const FrameInputs & inputs, const FrameProducts & products,
  const CompletionStatistics & statistics, const PreviewCoverage & views);

/**
 * @brief The line that says which points and cameras the cloud views left out and by which
 *        rule they are framed, without a line end; empty when they show everything.
 */
std::string outside_views_line(const PreviewCoverage & views);

/// @brief The one-line progress report of frame `index` (from 1) of `count` in a sequence.
std::string frame_progress_line(
  std::size_t index, std::size_t count, const std::string & id,
  const CompletionStatistics & statistics, const FrameTimings & timings,
  const PreviewCoverage & views);

/// @brief Writes the mean, median and largest time of each stage over a sequence's frames.
void print_timing_summary(std::ostream & out, const std::vector<FrameTimings> & timings);

}  // namespace tavrinox_camera_convertor
