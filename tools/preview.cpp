// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "preview.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include <opencv2/imgproc.hpp>

#include "cloud_view.hpp"
#include "preview_drawing.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

constexpr int kPanelWidth = 480;
constexpr int kGap = 4;
// Errors at or above this show as full red; a few millimetres is what a good fill achieves.
constexpr double kErrorScaleMm = 30.0;

cv::Scalar white() {return {255, 255, 255};}
cv::Scalar background() {return {30, 30, 30};}

struct DepthRange
{
  std::uint16_t near_mm = 0;
  std::uint16_t far_mm = 1;
};

/// The 2nd to 98th percentile of the measured depths, so the colours spread over the scene.
DepthRange display_range(const cv::Mat & depth)
{
  std::vector<std::uint32_t> histogram(65536, 0);
  std::size_t measured = 0;
  for (int row = 0; row < depth.rows; ++row) {
    const auto * values = depth.ptr<std::uint16_t>(row);
    for (int column = 0; column < depth.cols; ++column) {
      if (values[column] != 0) {
        ++histogram[values[column]];
        ++measured;
      }
    }
  }
  DepthRange range;
  if (measured == 0) {
    return range;
  }
  const auto value_at = [&](double fraction) {
      const auto wanted = static_cast<std::size_t>(fraction * static_cast<double>(measured));
      std::size_t seen = 0;
      for (std::size_t value = 1; value < histogram.size(); ++value) {
        seen += histogram[value];
        if (seen > wanted) {
          return static_cast<std::uint16_t>(value);
        }
      }
      return std::uint16_t{65535};
    };
  range.near_mm = value_at(0.02);
  range.far_mm = std::max<std::uint16_t>(
    value_at(0.98), static_cast<std::uint16_t>(range.near_mm + 1));
  return range;
}

/// Near red, far blue, no depth black.
cv::Mat colour_mapped_depth(const cv::Mat & depth, const DepthRange & range)
{
  cv::Mat1b levels(depth.size(), std::uint8_t{0});
  const double span = static_cast<double>(range.far_mm - range.near_mm);
  for (int row = 0; row < depth.rows; ++row) {
    const auto * values = depth.ptr<std::uint16_t>(row);
    for (int column = 0; column < depth.cols; ++column) {
      const double nearness = (range.far_mm - static_cast<double>(values[column])) / span;
      levels(row, column) = cv::saturate_cast<std::uint8_t>(255.0 * nearness);
    }
  }
  cv::Mat coloured;
  cv::applyColorMap(levels, coloured, cv::COLORMAP_TURBO);
  coloured.setTo(cv::Scalar::all(0), depth == 0);
  return coloured;
}

/// A strip of the depth colours with its end values, at the panel's bottom left.
void draw_depth_legend(cv::Mat & panel, const DepthRange & range)
{
  constexpr int kStripWidth = 140;
  constexpr int kStripHeight = 10;
  cv::Mat1b ramp(1, kStripWidth);
  for (int i = 0; i < kStripWidth; ++i) {
    ramp(0, i) = cv::saturate_cast<std::uint8_t>(255.0 * (kStripWidth - 1 - i) / (kStripWidth - 1));
  }
  cv::Mat strip;
  cv::applyColorMap(ramp, strip, cv::COLORMAP_TURBO);
  cv::resize(strip, strip, cv::Size(kStripWidth, kStripHeight), 0.0, 0.0, cv::INTER_NEAREST);
  const cv::Point corner(60, panel.rows - 22);
  strip.copyTo(panel(cv::Rect(corner.x, corner.y, kStripWidth, kStripHeight)));
  draw_label(
    panel, format_decimal(range.near_mm / 1000.0, 2) + " m", cv::Point(6, corner.y + 9),
    white());
  draw_label(
    panel, format_decimal(range.far_mm / 1000.0, 2) + " m",
    cv::Point(corner.x + kStripWidth + 6, corner.y + 9), white());
}

cv::Mat completed_depth_panel(
  const PreviewImages & images, const DepthRange & range, cv::Size panel)
{
  cv::Mat shown = fit(colour_mapped_depth(images.completed, range), panel, cv::INTER_NEAREST);
  const cv::Mat filled = (images.depth_1 == 0) & (images.completed != 0);
  const cv::Mat filled_shown = fit(filled, panel, cv::INTER_NEAREST);
  std::vector<std::vector<cv::Point>> outlines;
  cv::findContours(filled_shown, outlines, cv::RETR_LIST, cv::CHAIN_APPROX_SIMPLE);
  cv::drawContours(shown, outlines, -1, white(), 1);
  return shown;
}

/// Green for an exact fill through yellow to red at kErrorScaleMm and beyond.
cv::Vec3b error_colour(int error_mm)
{
  const double t = std::min(1.0, error_mm / kErrorScaleMm);
  if (t < 0.5) {
    return {0, 210, cv::saturate_cast<std::uint8_t>(510.0 * t)};
  }
  return {0, cv::saturate_cast<std::uint8_t>(420.0 * (1.0 - t)), 255};
}

cv::Mat error_panel(const PreviewImages & images, cv::Size panel)
{
  cv::Mat grey;
  cv::cvtColor(fit(images.rgb_1, images.depth_1.size(), cv::INTER_AREA), grey, cv::COLOR_BGR2GRAY);
  cv::Mat3b map(images.depth_1.size());
  for (int row = 0; row < map.rows; ++row) {
    const auto * measured = images.depth_1.ptr<std::uint16_t>(row);
    const auto * completed = images.completed.ptr<std::uint16_t>(row);
    const auto * truth = images.truth_1.ptr<std::uint16_t>(row);
    const auto * shade = grey.ptr<std::uint8_t>(row);
    for (int column = 0; column < map.cols; ++column) {
      const auto dim = static_cast<std::uint8_t>(shade[column] / 3);
      cv::Vec3b colour(dim, dim, dim);
      if (measured[column] == 0 && truth[column] != 0) {
        colour = completed[column] == 0 ? cv::Vec3b(255, 0, 255) :
          error_colour(
          std::abs(static_cast<int>(completed[column]) - static_cast<int>(truth[column])));
      }
      map(row, column) = colour;
    }
  }
  cv::Mat shown = fit(map, panel, cv::INTER_NEAREST);
  const int baseline = shown.rows - 10;
  draw_label(shown, "0 mm", cv::Point(6, baseline), cv::Scalar(0, 210, 0));
  draw_label(shown, "15 mm", cv::Point(56, baseline), cv::Scalar(0, 210, 255));
  draw_label(shown, ">= 30 mm", cv::Point(114, baseline), cv::Scalar(0, 0, 255));
  draw_label(shown, "not filled", cv::Point(196, baseline), cv::Scalar(255, 0, 255));
  return shown;
}

cv::Mat note_panel(const std::vector<std::string> & lines, cv::Size panel)
{
  cv::Mat note(panel, CV_8UC3, cv::Scalar(0, 0, 0));
  int y = 40;
  for (const std::string & line : lines) {
    draw_label(note, line, cv::Point(16, y), white(), kPreviewTitleScale);
    y += 26;
  }
  return note;
}

}  // namespace

Preview render_preview(
  const PreviewImages & images, const pcl::PCLPointCloud2 & cam1_cloud,
  const pcl::PCLPointCloud2 & cam2_cloud, const CameraConfig & config)
{
  const int panel_height = std::clamp(
    static_cast<int>(std::lround(
      kPanelWidth * static_cast<double>(images.depth_1.rows) /
      std::max(1, images.depth_1.cols))), 240, 640);
  const cv::Size panel(kPanelWidth, panel_height);
  const DepthRange range =
    display_range(images.depth_1.empty() ? images.completed : images.depth_1);

  cv::Mat raw_depth = fit(colour_mapped_depth(images.depth_1, range), panel, cv::INTER_NEAREST);
  draw_depth_legend(raw_depth, range);
  const std::array<Eigen::Vector3f, 2> cameras = {
    config.extrinsic_1.topRightCorner<3, 1>(), config.extrinsic_2.topRightCorner<3, 1>()};

  cv::Mat last;
  std::string last_title;
  if (!images.truth_1.empty()) {
    last = error_panel(images, panel);
    last_title = "fill error against the truth";
  } else if (!images.rgb_2.empty()) {
    last = fit(images.rgb_2, panel, cv::INTER_AREA);
    last_title = "camera 2 colour (no truth given)";
  } else {
    last = note_panel(
      {"No truth given:", "pass --truth FILE (camera 1's", "complete depth) for an error map."},
      panel);
    last_title = "fill error";
  }

  const CloudView top = draw_cloud_view(cam1_cloud, cam2_cloud, cameras, {0, 1, "x", "y"}, panel);
  const CloudView side = draw_cloud_view(cam1_cloud, cam2_cloud, cameras, {0, 2, "x", "z"}, panel);
  const std::array<cv::Mat, 6> panels = {
    titled(fit(images.rgb_1, panel, cv::INTER_AREA), "camera 1 colour"),
    titled(raw_depth, "camera 1 depth (holes black)"),
    titled(completed_depth_panel(images, range, panel), "completed depth (filled: white outline)"),
    titled(top.image, "top view, arm frame"),
    titled(side.image, "side view, arm frame"),
    titled(last, last_title),
  };
  const int cell_width = kPanelWidth;
  const int cell_height = panel_height + kPreviewTitleHeight;
  cv::Mat canvas(2 * cell_height + 3 * kGap, 3 * cell_width + 4 * kGap, CV_8UC3, background());
  for (std::size_t i = 0; i < panels.size(); ++i) {
    const int column = static_cast<int>(i % 3);
    const int row = static_cast<int>(i / 3);
    panels[i].copyTo(
      canvas(
        cv::Rect(
          kGap + column * (cell_width + kGap),
          kGap + row * (cell_height + kGap), cell_width, cell_height)));
  }
  return {canvas, top.coverage, side.coverage};
}

}  // namespace tavrinox_camera_convertor
