// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "view_window.hpp"

#include <algorithm>
#include <cmath>
#include <vector>

#include "cloud_points.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

// A sample of this many points fixes the percentiles well enough and keeps large clouds cheap.
constexpr std::size_t kPercentileSamples = 50000;
// A camera this close to the scene is always framed, however small the scene.
constexpr double kLeastCameraReachM = 2.0;
constexpr double kMarginShare = 0.06;
constexpr double kLeastSpanM = 0.1;

/// Where points lie along one axis; empty when there are none.
struct Extent
{
  double low = 0.0;
  double high = 0.0;
  bool empty = true;

  void include(double value)
  {
    low = empty ? value : std::min(low, value);
    high = empty ? value : std::max(high, value);
    empty = false;
  }
};

double percentile(std::vector<float> & values, double percent)
{
  const auto index =
    static_cast<std::size_t>(percent / 100.0 * static_cast<double>(values.size() - 1));
  std::nth_element(
    values.begin(), values.begin() + static_cast<std::ptrdiff_t>(index), values.end());
  return values[index];
}

/// The framing percentiles of one cloud along both view axes.
std::array<Extent, 2> cloud_extent(const pcl::PCLPointCloud2 & cloud, const ViewAxes & axes)
{
  const std::size_t stride = std::max<std::size_t>(1, readable_points(cloud) / kPercentileSamples);
  std::array<std::vector<float>, 2> values;
  for_each_record(
    cloud, stride, [&](const std::array<float, 3> & point) {
      const float h = point[axes.horizontal];
      const float v = point[axes.vertical];
      if (is_framable(h) && is_framable(v)) {
        values[0].push_back(h);
        values[1].push_back(v);
      }
    });
  std::array<Extent, 2> extent;
  for (std::size_t axis = 0; axis < values.size(); ++axis) {
    if (!values[axis].empty()) {
      extent[axis].include(percentile(values[axis], kFramingLowPercentile));
      extent[axis].include(percentile(values[axis], kFramingHighPercentile));
    }
  }
  return extent;
}

/// Where both clouds lie along one axis: their common part, or both when they do not meet.
Extent shared_extent(const Extent & a, const Extent & b)
{
  if (a.empty || b.empty) {
    return a.empty ? b : a;
  }
  Extent shared;
  if (std::max(a.low, b.low) < std::min(a.high, b.high)) {
    shared.include(std::max(a.low, b.low));
    shared.include(std::min(a.high, b.high));
  } else {
    shared.include(std::min(a.low, b.low));
    shared.include(std::max(a.high, b.high));
  }
  return shared;
}

bool within_reach(const std::array<Extent, 2> & scene, double h, double v)
{
  if (!is_framable(h) || !is_framable(v)) {
    return false;
  }
  if (scene[0].empty) {
    return true;
  }
  const double reach = std::max(
    {scene[0].high - scene[0].low, scene[1].high - scene[1].low, kLeastCameraReachM});
  return h >= scene[0].low - reach && h <= scene[0].high + reach &&
         v >= scene[1].low - reach && v <= scene[1].high + reach;
}

}  // namespace

bool ViewWindow::contains(double h, double v) const
{
  return h >= low_h && h <= low_h + span_h && v >= low_v && v <= low_v + span_v;
}

bool is_framable(double coordinate)
{
  return std::abs(coordinate) <= kFarthestFramedM;
}

ViewWindow frame_view(
  const pcl::PCLPointCloud2 & cam1_cloud, const pcl::PCLPointCloud2 & cam2_cloud,
  const std::array<Eigen::Vector3f, 2> & cameras, const ViewAxes & axes)
{
  const std::array<Extent, 2> extent_1 = cloud_extent(cam1_cloud, axes);
  const std::array<Extent, 2> extent_2 = cloud_extent(cam2_cloud, axes);
  const std::array<Extent, 2> scene = {
    shared_extent(extent_1[0], extent_2[0]), shared_extent(extent_1[1], extent_2[1])};
  std::array<Extent, 2> framed = scene;
  for (const Eigen::Vector3f & camera : cameras) {
    const double h = camera[axes.horizontal];
    const double v = camera[axes.vertical];
    if (within_reach(scene, h, v)) {
      framed[0].include(h);
      framed[1].include(v);
    }
  }
  if (framed[0].empty) {
    // Nothing to frame: a metre around the arm's origin.
    framed[0].include(-0.5);
    framed[0].include(0.5);
    framed[1] = framed[0];
  }
  const double span = std::max(
    {framed[0].high - framed[0].low, framed[1].high - framed[1].low, kLeastSpanM});
  const double margin = kMarginShare * span;
  ViewWindow window;
  window.low_h = framed[0].low - margin;
  window.low_v = framed[1].low - margin;
  window.span_h = framed[0].high - framed[0].low + 2.0 * margin;
  window.span_v = framed[1].high - framed[1].low + 2.0 * margin;
  return window;
}

}  // namespace tavrinox_camera_convertor
