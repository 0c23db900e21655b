// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "cloud_view.hpp"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "preview_drawing.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

// Clouds are framed by these quantiles, so a few stray points do not shrink the view.
constexpr double kLowQuantile = 0.005;
constexpr double kHighQuantile = 0.995;

/// Byte offsets of the x, y and z FLOAT32 fields of a cloud's records, if it has them all.
struct XyzLayout
{
  bool found = false;
  std::array<std::uint32_t, 3> offsets{};
};

XyzLayout xyz_layout(const pcl::PCLPointCloud2 & cloud)
{
  XyzLayout layout;
  int found = 0;
  const std::array<const char *, 3> names = {"x", "y", "z"};
  for (const pcl::PCLPointField & field : cloud.fields) {
    for (std::size_t axis = 0; axis < names.size(); ++axis) {
      if (field.name == names[axis] && field.datatype == pcl::PCLPointField::FLOAT32) {
        layout.offsets[axis] = field.offset;
        ++found;
      }
    }
  }
  layout.found = found == 3;
  return layout;
}

/// Calls visit(x, y, z) for every finite point, or only for every `stride`-th record.
template<typename Visit>
void for_each_point(const pcl::PCLPointCloud2 & cloud, std::size_t stride, Visit && visit)
{
  const XyzLayout layout = xyz_layout(cloud);
  const std::size_t count = static_cast<std::size_t>(cloud.width) * cloud.height;
  if (!layout.found || cloud.point_step == 0 || cloud.data.size() < count * cloud.point_step) {
    return;
  }
  for (std::size_t i = 0; i < count; i += stride) {
    const std::uint8_t * record = cloud.data.data() + i * cloud.point_step;
    std::array<float, 3> point;
    for (std::size_t axis = 0; axis < 3; ++axis) {
      std::memcpy(&point[axis], record + layout.offsets[axis], sizeof(float));
    }
    if (std::isfinite(point[0]) && std::isfinite(point[1]) && std::isfinite(point[2])) {
      visit(point);
    }
  }
}

/// The arm-frame window a view shows: lower corner and size in metres along its two axes.
struct ViewWindow
{
  double low_h = 0.0;
  double low_v = 0.0;
  double span_h = 1.0;
  double span_v = 1.0;
};

double quantile(std::vector<float> & values, double fraction)
{
  const auto index = static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1));
  std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(index), values.end());
  return values[index];
}

/// Lower and upper quantile of one coordinate over a sample of a cloud's points.
struct Extent
{
  double low = 0.0;
  double high = 0.0;
  bool empty = true;
};

Extent cloud_extent(const pcl::PCLPointCloud2 & cloud, int axis)
{
  constexpr std::size_t kSamples = 50000;
  const std::size_t count = static_cast<std::size_t>(cloud.width) * cloud.height;
  std::vector<float> values;
  values.reserve(std::min(count, 2 * kSamples));
  for_each_point(cloud, std::max<std::size_t>(1, count / kSamples), [&](const std::array<float, 3> & point) {
      values.push_back(point[axis]);
    });
  if (values.empty()) {
    return {};
  }
  const double low = quantile(values, kLowQuantile);
  return {low, quantile(values, kHighQuantile), false};
}

/// Where both clouds lie along one axis: their common part, or both when they do not meet.
Extent shared_extent(const Extent & a, const Extent & b)
{
  if (a.empty || b.empty) {
    return a.empty ? b : a;
  }
  const double low = std::max(a.low, b.low);
  const double high = std::min(a.high, b.high);
  if (low < high) {
    return {low, high, false};
  }
  return {std::min(a.low, b.low), std::max(a.high, b.high), false};
}

/// Frames the part of the workspace both cameras see, and both cameras, so that far-off
/// floor or wall seen by one camera only does not shrink what matters.
ViewWindow view_window(
  const pcl::PCLPointCloud2 & cam1_cloud, const pcl::PCLPointCloud2 & cam2_cloud,
  const std::array<Eigen::Vector3f, 2> & cameras, const ViewAxes & axes)
{
  Extent h = shared_extent(cloud_extent(cam1_cloud, axes.horizontal), cloud_extent(cam2_cloud, axes.horizontal));
  Extent v = shared_extent(cloud_extent(cam1_cloud, axes.vertical), cloud_extent(cam2_cloud, axes.vertical));
  for (const Eigen::Vector3f & camera : cameras) {
    const auto include = [](double value, Extent & extent) {
        extent.low = extent.empty ? value : std::min(extent.low, value);
        extent.high = extent.empty ? value : std::max(extent.high, value);
        extent.empty = false;
      };
    include(camera[axes.horizontal], h);
    include(camera[axes.vertical], v);
  }
  // A margin all round, and never less than 10 cm of view.
  const double margin = 0.06 * std::max({h.high - h.low, v.high - v.low, 0.1});
  return {h.low - margin, v.low - margin, h.high - h.low + 2 * margin, v.high - v.low + 2 * margin};
}

/// A round grid spacing that gives at most six lines across `span`.
double grid_step(double span)
{
  for (const double step : {0.01, 0.02, 0.05, 0.1, 0.2, 0.25, 0.5, 1.0, 2.0, 5.0, 10.0, 20.0, 50.0}) {
    if (span / step <= 6.0) {
      return step;
    }
  }
  return 100.0;
}

}  // namespace

cv::Mat draw_cloud_view(
  const pcl::PCLPointCloud2 & cam1_cloud, const pcl::PCLPointCloud2 & cam2_cloud,
  const std::array<Eigen::Vector3f, 2> & cameras, const ViewAxes & axes, cv::Size panel)
{
  constexpr int kLeftMargin = 44;
  constexpr int kBottomMargin = 22;
  constexpr int kTopMargin = 6;
  constexpr int kRightMargin = 8;
  const cv::Rect area(kLeftMargin, kTopMargin, panel.width - kLeftMargin - kRightMargin,
    panel.height - kTopMargin - kBottomMargin);
  const std::array<const pcl::PCLPointCloud2 *, 2> clouds = {&cam1_cloud, &cam2_cloud};
  const ViewWindow window = view_window(cam1_cloud, cam2_cloud, cameras, axes);
  const double scale = std::min(area.width / window.span_h, area.height / window.span_v);
  const double offset_h = (area.width - window.span_h * scale) / 2.0;
  const double offset_v = (area.height - window.span_v * scale) / 2.0;
  const auto to_pixel = [&](double h, double v) {
      return cv::Point2d(
        area.x + offset_h + (h - window.low_h) * scale,
        area.y + area.height - offset_v - (v - window.low_v) * scale);
    };

  cv::Mat view(panel, CV_8UC3, cv::Scalar(0, 0, 0));
  const double step = grid_step(std::max(window.span_h, window.span_v));
  const int decimals = step < 0.1 ? 2 : (step < 1.0 ? 1 : 0);
  for (double h = std::ceil(window.low_h / step) * step; h <= window.low_h + window.span_h; h += step) {
    const int x = static_cast<int>(std::lround(to_pixel(h, 0.0).x));
    cv::line(view, cv::Point(x, area.y), cv::Point(x, area.y + area.height), cv::Scalar(60, 60, 60), 1);
    draw_label(view, format_decimal(h, decimals), cv::Point(x - 12, panel.height - 6), cv::Scalar(170, 170, 170));
  }
  for (double v = std::ceil(window.low_v / step) * step; v <= window.low_v + window.span_v; v += step) {
    const int y = static_cast<int>(std::lround(to_pixel(0.0, v).y));
    cv::line(view, cv::Point(area.x, y), cv::Point(area.x + area.width, y), cv::Scalar(60, 60, 60), 1);
    draw_label(view, format_decimal(v, decimals), cv::Point(2, y + 4), cv::Scalar(170, 170, 170));
  }

  // Points per view pixel for each cloud; brightness grows with the log of the count.
  std::array<cv::Mat1i, 2> counts = {cv::Mat1i(panel, 0), cv::Mat1i(panel, 0)};
  for (std::size_t c = 0; c < clouds.size(); ++c) {
    cv::Mat1i & count = counts[c];
    for_each_point(*clouds[c], 1, [&](const std::array<float, 3> & point) {
        const cv::Point2d at = to_pixel(point[axes.horizontal], point[axes.vertical]);
        const int x = static_cast<int>(at.x);
        const int y = static_cast<int>(at.y);
        if (area.contains(cv::Point(x, y))) {
          ++count(y, x);
        }
      });
  }
  double most = 1.0;
  for (const cv::Mat1i & count : counts) {
    double max_count = 0.0;
    cv::minMaxLoc(count, nullptr, &max_count);
    most = std::max(most, max_count);
  }
  const std::array<cv::Scalar, 2> colours = {camera_1_colour(), camera_2_colour()};
  for (int row = area.y; row < area.y + area.height; ++row) {
    for (int column = area.x; column < area.x + area.width; ++column) {
      cv::Scalar sum(0, 0, 0);
      for (std::size_t c = 0; c < counts.size(); ++c) {
        const int n = counts[c](row, column);
        if (n > 0) {
          sum += colours[c] * (0.55 + 0.45 * std::log1p(n) / std::log1p(most));
        }
      }
      if (sum != cv::Scalar(0, 0, 0)) {
        view.at<cv::Vec3b>(row, column) = cv::Vec3b(cv::saturate_cast<std::uint8_t>(sum[0]),
          cv::saturate_cast<std::uint8_t>(sum[1]), cv::saturate_cast<std::uint8_t>(sum[2]));
      }
    }
  }

  for (std::size_t c = 0; c < cameras.size(); ++c) {
    const cv::Point2d at = to_pixel(cameras[c][axes.horizontal], cameras[c][axes.vertical]);
    const cv::Point centre(static_cast<int>(std::lround(at.x)), static_cast<int>(std::lround(at.y)));
    cv::circle(view, centre, 6, colours[c], cv::FILLED, cv::LINE_AA);
    cv::circle(view, centre, 6, cv::Scalar(255, 255, 255), 1, cv::LINE_AA);
    // The label goes left of a marker near the right edge, so it stays whole.
    const bool label_left = centre.x > panel.width - 60;
    draw_label(view, "cam " + std::to_string(c + 1), centre + cv::Point(label_left ? -52 : 9, 5), colours[c]);
  }
  const cv::Rect legend(area.x + 2, area.y + 2, 78, 52);
  view(legend) *= 0.3;
  draw_label(view, "camera 1", cv::Point(legend.x + 4, legend.y + 14), camera_1_colour());
  draw_label(view, "camera 2", cv::Point(legend.x + 4, legend.y + 30), camera_2_colour());
  draw_label(view, "both", cv::Point(legend.x + 4, legend.y + 46), cv::Scalar(220, 220, 220));
  draw_label(view, std::string(axes.horizontal_name) + " [m]", cv::Point(area.x + area.width - 40,
    area.y + area.height - 6), cv::Scalar(255, 255, 255));
  draw_label(view, std::string(axes.vertical_name) + " [m]", cv::Point(area.x + area.width - 40, area.y + 14),
    cv::Scalar(255, 255, 255));
  return view;
}

}  // namespace tavrinox_camera_convertor
