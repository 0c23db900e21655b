// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "run_summary.hpp"

#include <algorithm>
#include <array>
#include <iomanip>
#include <numeric>
#include <sstream>
#include <utility>

namespace tavrinox_camera_convertor
{
namespace
{

std::string size_of(const ImageMessage & image)
{
  return std::to_string(image.width) + " x " + std::to_string(image.height);
}

std::size_t points_of(const CloudMessage & message)
{
  return static_cast<std::size_t>(message.cloud.width) * message.cloud.height;
}

/// The stages of FrameTimings with the names the summaries give them.
std::array<std::pair<const char *, double>, 5> named_stages(const FrameTimings & timings)
{
  return {{
    {"check", timings.check_ms},
    {"clouds and completion", timings.clouds_and_completion_ms},
    {"converted cloud", timings.converted_cloud_ms},
    {"publish", timings.publish_ms},
    {"total", timings.total_ms()},
  }};
}

}  // namespace

void print_frame_summary(
  std::ostream & out, const FrameInputs & inputs, const FrameProducts & products,
  const CompletionStatistics & statistics)
{
  std::ostringstream text;
  text << std::fixed << std::setprecision(2);
  text << "images: camera 1 depth " << size_of(inputs.depth_1) << ", camera 2 depth " << size_of(inputs.depth_2)
       << ", camera 1 colour " << size_of(inputs.rgb_1);
  if (inputs.rgb_2) {
    text << ", camera 2 colour " << size_of(*inputs.rgb_2);
  }
  text << "\npoints: cam1 cloud " << points_of(products.cam1_cloud) << ", cam2 cloud "
       << points_of(products.cam2_cloud) << ", converted cloud " << points_of(products.converted_cloud) << "\n";
  text << "holes in camera 1: " << statistics.hole_percent() << " % of the pixels (" << statistics.holes << " of "
       << statistics.pixels << ")\n";
  text << "holes filled: " << statistics.filled_percent() << " % (" << statistics.filled << " of "
       << statistics.holes << ")\n";
  if (statistics.truth) {
    const TruthComparison & truth = *statistics.truth;
    text << "against the truth: fill rate " << truth.fill_rate_percent() << " % (" << truth.filled << " of "
         << truth.fillable << " holes with a true depth), error of the filled pixels: median "
         << truth.median_error_mm << " mm, 90th percentile " << truth.p90_error_mm << " mm";
    if (truth.filled_without_truth != 0) {
      text << "; " << truth.filled_without_truth << " filled where the truth has no depth";
    }
    text << "\n";
  }
  text << "time per stage (ms):";
  const char * separator = " ";
  for (const auto & [name, milliseconds] : named_stages(products.timings)) {
    text << separator << name << " " << std::setprecision(3) << milliseconds;
    separator = ", ";
  }
  text << "\n";
  out << text.str() << std::flush;
}

std::string frame_progress_line(
  std::size_t index, std::size_t count, const std::string & id, const CompletionStatistics & statistics,
  const FrameTimings & timings)
{
  std::ostringstream line;
  line << std::fixed << std::setprecision(1);
  line << "[" << index << "/" << count << "] frame " << id << ": holes " << statistics.hole_percent()
       << " %, filled " << statistics.filled_percent() << " %";
  if (statistics.truth) {
    line << ", fill rate " << statistics.truth->fill_rate_percent() << " %, error median "
         << statistics.truth->median_error_mm << " mm, p90 " << statistics.truth->p90_error_mm << " mm";
  }
  line << ", " << std::setprecision(2) << timings.total_ms() << " ms";
  return line.str();
}

void print_timing_summary(std::ostream & out, const std::vector<FrameTimings> & timings)
{
  if (timings.empty()) {
    return;
  }
  std::ostringstream text;
  text << std::fixed << std::setprecision(3);
  text << "time per stage over " << timings.size() << " frames (ms):\n";
  text << "  " << std::left << std::setw(22) << "stage" << std::right << std::setw(10) << "mean" << std::setw(10)
       << "median" << std::setw(10) << "max" << "\n";
  std::vector<double> values(timings.size());
  for (std::size_t stage = 0; stage < named_stages(FrameTimings()).size(); ++stage) {
    for (std::size_t i = 0; i < timings.size(); ++i) {
      values[i] = named_stages(timings[i])[stage].second;
    }
    std::sort(values.begin(), values.end());
    const double mean = std::accumulate(values.begin(), values.end(), 0.0) / static_cast<double>(values.size());
    const std::size_t middle = values.size() / 2;
    const double median = values.size() % 2 == 1 ? values[middle] : 0.5 * (values[middle - 1] + values[middle]);
    text << "  " << std::left << std::setw(22) << named_stages(FrameTimings())[stage].first << std::right
         << std::setw(10) << mean << std::setw(10) << median << std::setw(10) << values.back() << "\n";
  }
  out << text.str() << std::flush;
}

}  // namespace tavrinox_camera_convertor
