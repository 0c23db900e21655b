// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include <Eigen/Core>

#include <vector>

#include "cloud_agreement.hpp"

namespace tavrinox_camera_convertor
{

/// How far a correction moves the overlap's points, in millimetres.
struct OverlapShift
{
  double median_mm = 0.0;
  double p90_mm = 0.0;
};

/**
 * @brief Median and 90th percentile of |correction * p - p| over the overlap's points.
 *
 * Point-to-plane distances cannot see two clouds that slide along their common surfaces, as a turn
 * about the vertical does on a tabletop; how far registration moves the points can.
 */
OverlapShift measure_overlap_shift(
  const std::vector<OverlapPoint> & overlap,
  const Eigen::Matrix4d & correction);

}  // namespace tavrinox_camera_convertor
