// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "overlap_shift.hpp"

#include <Eigen/Geometry>

#include <algorithm>
#include <cmath>

namespace tavrinox_camera_convertor
{
namespace
{

double quantile(std::vector<double> & values, double fraction)
{
  const auto index =
    static_cast<std::size_t>(std::lround(fraction * static_cast<double>(values.size() - 1)));
  std::nth_element(
    values.begin(), values.begin() + static_cast<std::ptrdiff_t>(index),
    values.end());
  return values[index];
}

}  // namespace

OverlapShift measure_overlap_shift(
  const std::vector<OverlapPoint> & overlap,
  const Eigen::Matrix4d & correction)
{
  OverlapShift shift;
  if (overlap.empty()) {
    return shift;
  }
  const Eigen::Affine3d transform(correction);
  std::vector<double> shifts_mm;
  shifts_mm.reserve(overlap.size());
  for (const OverlapPoint & point : overlap) {
    const Eigen::Vector3d position = point.position.cast<double>();
    shifts_mm.push_back(1000.0 * (transform * position - position).norm());
  }
  shift.median_mm = quantile(shifts_mm, 0.5);
  shift.p90_mm = quantile(shifts_mm, 0.9);
  return shift;
}

}  // namespace tavrinox_camera_convertor
