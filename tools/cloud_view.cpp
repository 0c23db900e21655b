// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "cloud_view.hpp"

#include <algorithm>
#include <cmath>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include <opencv2/imgproc.hpp>

#include "cloud_points.hpp"
#include "preview_drawing.hpp"
#include "view_grid.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

constexpr int kLeftMargin = 44;
constexpr int kBottomMargin = 22;
constexpr int kTopMargin = 6;
constexpr int kRightMargin = 8;
constexpr int kMarkerRadius = 6;

cv::Scalar grid_colour() {return {60, 60, 60};}
cv::Scalar label_colour() {return {170, 170, 170};}
cv::Scalar white() {return {255, 255, 255};}

/// Maps a window's arm-frame coordinates onto the plot area, proportions kept, centred.
class ViewMapping
{
public:
  ViewMapping(const ViewWindow & window, const cv::Rect & area)
  : window_(window), area_(area),
    scale_(std::min(area.width / window.span_h, area.height / window.span_v)),
    offset_h_((area.width - window.span_h * scale_) / 2.0),
    offset_v_((area.height - window.span_v * scale_) / 2.0)
  {
  }

  cv::Point2d to_pixel(double h, double v) const
  {
    return {area_.x + offset_h_ + (h - window_.low_h) * scale_,
      area_.y + area_.height - offset_v_ - (v - window_.low_v) * scale_};
  }

  /// The plot pixel (h, v) falls on; none outside the plot, for NaN and for infinities.
  std::optional<cv::Point> pixel_in_area(double h, double v) const
  {
    const cv::Point2d at = to_pixel(h, v);
    // Compared before any conversion to int, which would overflow far outside.
    if (!(at.x >= area_.x && at.x < area_.x + area_.width && at.y >= area_.y &&
      at.y < area_.y + area_.height))
    {
      return std::nullopt;
    }
    return cv::Point(static_cast<int>(at.x), static_cast<int>(at.y));
  }

  const cv::Rect & area() const {return area_;}
  const ViewWindow & window() const {return window_;}

private:
  ViewWindow window_;
  cv::Rect area_;
  double scale_;
  double offset_h_;
  double offset_v_;
};

int rounded(double pixel) {return static_cast<int>(std::lround(pixel));}

/// `low` when the range is empty, else `value` limited to it.
int clamped(int value, int low, int high)
{
  return std::clamp(value, low, std::max(low, high));
}

/// Grid lines of one spacing along both axes, labelled in the margins; a handful at most.
void draw_grid(cv::Mat & view, const ViewMapping & mapping)
{
  const ViewWindow & window = mapping.window();
  const cv::Rect & area = mapping.area();
  const double step = grid_step(std::max(window.span_h, window.span_v));
  for (const double h : grid_values(window.low_h, window.span_h, step)) {
    const int x = rounded(mapping.to_pixel(h, window.low_v).x);
    cv::line(view, cv::Point(x, area.y), cv::Point(x, area.y + area.height), grid_colour(), 1);
    const std::string label = grid_label(h, step);
    const int width = cv::getTextSize(
      label, cv::FONT_HERSHEY_SIMPLEX, kPreviewLabelScale, 1,
      nullptr).width;
    const int left = clamped(x - width / 2, 0, view.cols - width);
    draw_label(view, label, cv::Point(left, view.rows - 6), label_colour());
  }
  for (const double v : grid_values(window.low_v, window.span_v, step)) {
    const int y = rounded(mapping.to_pixel(window.low_h, v).y);
    cv::line(view, cv::Point(area.x, y), cv::Point(area.x + area.width, y), grid_colour(), 1);
    draw_label(view, grid_label(v, step), cv::Point(2, y + 4), label_colour());
  }
}

/// Counts each cloud's points per plot pixel and paints them, brightness growing with the log
/// of the count; returns how many points there were and how many fell outside the plot.
ViewCoverage draw_density(
  cv::Mat & view, const ViewMapping & mapping,
  const std::array<const pcl::PCLPointCloud2 *, 2> & clouds, const ViewAxes & axes)
{
  ViewCoverage coverage;
  const cv::Rect & area = mapping.area();
  std::array<cv::Mat1i, 2> counts = {cv::Mat1i(view.size(), 0), cv::Mat1i(view.size(), 0)};
  for (std::size_t c = 0; c < clouds.size(); ++c) {
    coverage.points[c] = readable_points(*clouds[c]);
    std::size_t inside = 0;
    for_each_record(
      *clouds[c], 1, [&](const std::array<float, 3> & point) {
        const double h = point[axes.horizontal];
        const double v = point[axes.vertical];
        if (!is_framable(h) || !is_framable(v)) {
          return;
        }
        if (const std::optional<cv::Point> pixel = mapping.pixel_in_area(h, v)) {
          ++counts[c](*pixel);
          ++inside;
        }
      });
    coverage.outside[c] = coverage.points[c] - inside;
  }
  double most = 1.0;
  for (const cv::Mat1i & count : counts) {
    double max_count = 0.0;
    cv::minMaxLoc(count, nullptr, &max_count);
    most = std::max(most, max_count);
  }
  const std::array<cv::Scalar, 2> colours = {camera_1_colour(), camera_2_colour()};
  const double log_most = std::log1p(most);
  for (int row = area.y; row < area.y + area.height; ++row) {
    const std::array<const int *, 2> row_counts = {counts[0][row], counts[1][row]};
    auto * pixels = view.ptr<cv::Vec3b>(row);
    for (int column = area.x; column < area.x + area.width; ++column) {
      if (row_counts[0][column] == 0 && row_counts[1][column] == 0) {
        continue;
      }
      cv::Scalar sum(0, 0, 0);
      for (std::size_t c = 0; c < counts.size(); ++c) {
        const int n = row_counts[c][column];
        if (n > 0) {
          sum += colours[c] * (0.55 + 0.45 * std::log1p(n) / log_most);
        }
      }
      pixels[column] = cv::Vec3b(
        cv::saturate_cast<std::uint8_t>(sum[0]),
        cv::saturate_cast<std::uint8_t>(sum[1]), cv::saturate_cast<std::uint8_t>(sum[2]));
    }
  }
  return coverage;
}

/// An arrow inside the plot's edge that points from the plot's centre towards a pixel outside.
struct EdgeArrow
{
  cv::Point tail;
  cv::Point tip;
};

/// The arrow towards `outside`; none for a pixel at NaN or infinity.
std::optional<EdgeArrow> edge_arrow(const cv::Rect & area, const cv::Point2d & outside)
{
  constexpr double kArrowLength = 18.0;
  const cv::Point2d centre(area.x + area.width / 2.0, area.y + area.height / 2.0);
  const cv::Point2d away = outside - centre;
  const double length = std::hypot(away.x, away.y);
  if (!std::isfinite(length) || length == 0.0) {
    return std::nullopt;
  }
  const cv::Point2d unit = away / length;
  const double inset = kMarkerRadius + 2.0;
  const double reach_x = unit.x == 0.0 ? length : (area.width / 2.0 - inset) / std::abs(unit.x);
  const double reach_y = unit.y == 0.0 ? length : (area.height / 2.0 - inset) / std::abs(unit.y);
  const double reach = std::max(0.0, std::min({reach_x, reach_y, length}));
  const cv::Point2d tip = centre + unit * reach;
  const cv::Point2d tail = centre + unit * std::max(0.0, reach - kArrowLength);
  return EdgeArrow{cv::Point(rounded(tail.x), rounded(tail.y)), cv::Point(
      rounded(tip.x),
      rounded(tip.y))};
}

/// Each camera's marker at its place, or an arrow at the plot's edge pointing towards it when
/// it lies outside; a camera at NaN or infinity gets no mark.
void draw_camera_markers(
  cv::Mat & view, const ViewMapping & mapping, const std::array<Eigen::Vector3f, 2> & cameras,
  const ViewAxes & axes, ViewCoverage & coverage)
{
  const std::array<cv::Scalar, 2> colours = {camera_1_colour(), camera_2_colour()};
  const cv::Rect & area = mapping.area();
  for (std::size_t c = 0; c < cameras.size(); ++c) {
    const double h = cameras[c][axes.horizontal];
    const double v = cameras[c][axes.vertical];
    const std::string name = "cam " + std::to_string(c + 1);
    if (mapping.window().contains(h, v)) {
      coverage.camera_inside[c] = true;
      const cv::Point2d at = mapping.to_pixel(h, v);
      const cv::Point centre(rounded(at.x), rounded(at.y));
      cv::circle(view, centre, kMarkerRadius, colours[c], cv::FILLED, cv::LINE_AA);
      cv::circle(view, centre, kMarkerRadius, white(), 1, cv::LINE_AA);
      // The label goes left of a marker near the right edge, so it stays whole.
      const bool label_left = centre.x > view.cols - 60;
      draw_label(view, name, centre + cv::Point(label_left ? -52 : 9, 5), colours[c]);
      continue;
    }
    const std::optional<EdgeArrow> arrow = edge_arrow(area, mapping.to_pixel(h, v));
    if (!arrow) {
      continue;
    }
    cv::arrowedLine(view, arrow->tail, arrow->tip, colours[c], 2, cv::LINE_AA, 0, 0.4);
    const std::string label = name + " off view";
    const int width = cv::getTextSize(
      label, cv::FONT_HERSHEY_SIMPLEX, kPreviewLabelScale, 1,
      nullptr).width;
    // Beside the arrow's tail, on the side towards the plot's middle.
    const bool left_half = arrow->tail.x < area.x + area.width / 2;
    const cv::Point origin(
      clamped(
        left_half ? arrow->tail.x + 10 : arrow->tail.x - 10 - width, area.x,
        area.x + area.width - width),
      clamped(arrow->tail.y + 5, area.y + 12, area.y + area.height - 4));
    draw_label(view, label, origin, colours[c]);
  }
}

std::string percent_text(std::size_t part, std::size_t whole)
{
  return format_decimal(whole == 0 ? 0.0 : 100.0 * part / whole, 1) + " %";
}

/// The colours, the framing rule and what was left out, over the plot's top left corner; the
/// axis names at its right.
void draw_legend(
  cv::Mat & view, const ViewMapping & mapping, const ViewCoverage & coverage, const ViewAxes & axes)
{
  std::vector<std::pair<std::string, cv::Scalar>> lines = {
    {"camera 1", camera_1_colour()},
    {"camera 2", camera_2_colour()},
    {"both", cv::Scalar(220, 220, 220)},
    {"framed: " + format_decimal(kFramingLowPercentile, 0) + "-" +
      format_decimal(kFramingHighPercentile, 0) + "th pct", label_colour()},
  };
  if (coverage.total_outside() != 0) {
    lines.emplace_back(
      "left out: " + percent_text(coverage.total_outside(), coverage.total_points()),
      cv::Scalar(80, 220, 255));
  }
  constexpr int kLineHeight = 16;
  int width = 0;
  for (const auto & line : lines) {
    width = std::max(
      width, cv::getTextSize(
        line.first, cv::FONT_HERSHEY_SIMPLEX,
        kPreviewLabelScale, 1, nullptr).width);
  }
  const cv::Rect & area = mapping.area();
  const cv::Rect legend = cv::Rect(
    area.x + 2, area.y + 2, width + 10,
    kLineHeight * static_cast<int>(lines.size()) + 6) & area;
  view(legend) *= 0.3;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    draw_label(
      view, lines[i].first,
      cv::Point(legend.x + 4, legend.y + 14 + kLineHeight * static_cast<int>(i)), lines[i].second);
  }
  draw_label(
    view, std::string(axes.horizontal_name) + " [m]",
    cv::Point(area.x + area.width - 40, area.y + area.height - 6), white());
  draw_label(
    view, std::string(axes.vertical_name) + " [m]",
    cv::Point(area.x + area.width - 40, area.y + 14), white());
}

}  // namespace

std::size_t ViewCoverage::total_points() const {return points[0] + points[1];}

std::size_t ViewCoverage::total_outside() const {return outside[0] + outside[1];}

bool ViewCoverage::anything_outside() const
{
  return total_outside() != 0 || !camera_inside[0] || !camera_inside[1];
}

CloudView draw_cloud_view(
  const pcl::PCLPointCloud2 & cam1_cloud, const pcl::PCLPointCloud2 & cam2_cloud,
  const std::array<Eigen::Vector3f, 2> & cameras, const ViewAxes & axes, cv::Size panel)
{
  if (panel.width < kLeastCloudViewWidth || panel.height < kLeastCloudViewHeight) {
    throw std::invalid_argument(
            "a cloud view needs a panel of at least " + std::to_string(kLeastCloudViewWidth) +
            " x " + std::to_string(kLeastCloudViewHeight) + " pixels, not " +
            std::to_string(panel.width) + " x " + std::to_string(panel.height));
  }
  const cv::Rect area(kLeftMargin, kTopMargin, panel.width - kLeftMargin - kRightMargin,
    panel.height - kTopMargin - kBottomMargin);
  const ViewMapping mapping(frame_view(cam1_cloud, cam2_cloud, cameras, axes), area);
  CloudView drawn{cv::Mat(panel, CV_8UC3, cv::Scalar(0, 0, 0)), {}};
  draw_grid(drawn.image, mapping);
  drawn.coverage = draw_density(drawn.image, mapping, {&cam1_cloud, &cam2_cloud}, axes);
  draw_camera_markers(drawn.image, mapping, cameras, axes, drawn.coverage);
  draw_legend(drawn.image, mapping, drawn.coverage, axes);
  return drawn;
}

}  // namespace tavrinox_camera_convertor
