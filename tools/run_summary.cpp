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

double percent_of(std::size_t part, std::size_t whole)
{
  return whole == 0 ? 0.0 : 100.0 * static_cast<double>(part) / static_cast<double>(whole);
}

std::string view_text(const char * name, const ViewCoverage & view)
{
  std::ostringstream text;
  text << std::fixed << std::setprecision(2) << name << " " << view.total_outside() << " of "
       << view.total_points() << " points ("
       << percent_of(view.total_outside(), view.total_points()) << " %: camera 1 "
       << view.outside[0] << ", camera 2 " << view.outside[1] << ")";
  return text.str();
}

/// "camera 2's position (both views)" and the like, one entry per camera left out.
std::vector<std::string> cameras_outside(const PreviewCoverage & views)
{
  std::vector<std::string> entries;
  for (std::size_t c = 0; c < 2; ++c) {
    const bool top = views.top_view.camera_inside[c];
    const bool side = views.side_view.camera_inside[c];
    if (!top || !side) {
      entries.push_back(
        "camera " + std::to_string(c + 1) + "'s position (" +
        (!top && !side ? "both views" : !top ? "top view" : "side view") + ")");
    }
  }
  return entries;
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

std::string outside_views_line(const PreviewCoverage & views)
{
  if (!views.top_view.anything_outside() && !views.side_view.anything_outside()) {
    return "";
  }
  std::vector<std::string> entries;
  if (views.top_view.total_outside() != 0) {
    entries.push_back(view_text("top view", views.top_view));
  }
  if (views.side_view.total_outside() != 0) {
    entries.push_back(view_text("side view", views.side_view));
  }
  for (const std::string & camera : cameras_outside(views)) {
    entries.push_back(camera);
  }
  std::ostringstream line;
  line << std::fixed << std::setprecision(0) << "left out of the cloud views (framed on the "
       << kFramingLowPercentile << "st to " << kFramingHighPercentile
       << "th percentile of each cloud): ";
  for (std::size_t i = 0; i < entries.size(); ++i) {
    line << (i == 0 ? "" : "; ") << entries[i];
  }
  return line.str();
}

void print_frame_summary(
  std::ostream & out, const FrameInputs & inputs, const FrameProducts & products,
  const CompletionStatistics & statistics, const PreviewCoverage & views)
{
  std::ostringstream text;
  text << std::fixed << std::setprecision(2);
  text << "images: camera 1 depth " << size_of(inputs.depth_1) << ", camera 2 depth "
       << size_of(inputs.depth_2) << ", camera 1 colour " << size_of(inputs.rgb_1);
  if (inputs.rgb_2) {
    text << ", camera 2 colour " << size_of(*inputs.rgb_2);
  }
  text << "\npoints: cam1 cloud " << points_of(products.cam1_cloud) << ", cam2 cloud "
       << points_of(products.cam2_cloud) << ", converted cloud "
       << points_of(products.converted_cloud) << "\n";
  const std::string outside = outside_views_line(views);
  if (!outside.empty()) {
    text << outside << "\n";
  }
  text << "holes in camera 1: " << statistics.hole_percent() << " % of the pixels ("
       << statistics.holes << " of " << statistics.pixels << ")\n";
  text << "holes filled: " << statistics.filled_percent() << " % (" << statistics.filled << " of "
       << statistics.holes << ")\n";
  if (statistics.truth) {
    const TruthComparison & truth = *statistics.truth;
    text << "against the truth: fill rate " << truth.fill_rate_percent() << " % ("
         << truth.filled << " of " << truth.fillable
         << " holes with a true depth), error of the filled pixels: median "
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
  std::size_t index, std::size_t count, const std::string & id,
  const CompletionStatistics & statistics, const FrameTimings & timings,
  const PreviewCoverage & views)
{
  std::ostringstream line;
  line << std::fixed << std::setprecision(1);
  line << "[" << index << "/" << count << "] frame " << id << ": holes "
       << statistics.hole_percent() << " %, filled " << statistics.filled_percent() << " %";
  if (statistics.truth) {
    line << ", fill rate " << statistics.truth->fill_rate_percent() << " %, error median "
         << statistics.truth->median_error_mm << " mm, p90 " << statistics.truth->p90_error_mm
         << " mm";
  }
  const double outside = std::max(
    percent_of(views.top_view.total_outside(), views.top_view.total_points()),
    percent_of(views.side_view.total_outside(), views.side_view.total_points()));
  if (outside > 0.0) {
    line << ", " << std::setprecision(2) << outside << " % of the points outside the cloud views";
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
  text << "  " << std::left << std::setw(22) << "stage" << std::right << std::setw(10) << "mean"
       << std::setw(10) << "median" << std::setw(10) << "max" << "\n";
  std::vector<double> values(timings.size());
  for (std::size_t stage = 0; stage < named_stages(FrameTimings()).size(); ++stage) {
    for (std::size_t i = 0; i < timings.size(); ++i) {
      values[i] = named_stages(timings[i])[stage].second;
    }
    std::sort(values.begin(), values.end());
    const double mean =
      std::accumulate(values.begin(), values.end(), 0.0) / static_cast<double>(values.size());
    const std::size_t middle = values.size() / 2;
    const double median = values.size() % 2 == 1 ? values[middle] :
      0.5 * (values[middle - 1] + values[middle]);
    text << "  " << std::left << std::setw(22) << named_stages(FrameTimings())[stage].first
         << std::right << std::setw(10) << mean << std::setw(10) << median
         << std::setw(10) << values.back() << "\n";
  }
  out << text.str() << std::flush;
}

}  // namespace tavrinox_camera_convertor
