// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "sampling_voxel.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <string>

#include "calibration_refusal.hpp"
#include "preview_drawing.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

constexpr double kMostCells =
  kVoxelGridCellShare * static_cast<double>(std::numeric_limits<std::int32_t>::max());
// PCL turns each coordinate divided by the voxel edge into an int.
constexpr double kMostVoxelIndex = kVoxelGridCellShare *
  static_cast<double>(std::numeric_limits<std::int32_t>::max());
// Halving the interval this often pins the voxel down far below a micrometre.
constexpr int kBisections = 40;

/// The cells of a grid of `voxel` over `region`, counted as PCL counts them, in double so that
/// no count overflows.
double grid_cells(const SharedRegion & region, double voxel)
{
  const Eigen::Vector3d size = (region.high.cast<double>() - region.low.cast<double>());
  double cells = 1.0;
  for (int axis = 0; axis < 3; ++axis) {
    cells *= std::floor(std::max(0.0, size[axis]) / voxel) + 1.0;
  }
  return cells;
}

double farthest_coordinate(const SharedRegion & region)
{
  return std::max(
    region.low.cast<double>().cwiseAbs().maxCoeff(),
    region.high.cast<double>().cwiseAbs().maxCoeff());
}

std::string scientific(double value)
{
  char text[32];
  std::snprintf(text, sizeof text, "%.1e", value);
  return text;
}

std::string millimetres(double metres)
{
  return format_decimal(1000.0 * metres, 0) + " mm";
}

}  // namespace

float sampling_voxel(const SharedRegion & region, const SamplingSettings & settings)
{
  const double wanted = settings.voxel_m;
  const double largest =
    std::max(wanted, kLargestVoxelShareOfNormalRadius * settings.normal_radius_m);
  if (!(farthest_coordinate(region) / wanted <= kMostVoxelIndex)) {
    throw CalibrationRefusal(
            "the clouds meet " + scientific(farthest_coordinate(region)) + " m from the arm's "
            "origin, too far for PCL's voxel grid, whose " + millimetres(wanted) + " voxels are "
            "numbered with 32-bit integers: check each camera's Txyz (metres)");
  }
  if (grid_cells(region, wanted) <= kMostCells) {
    return settings.voxel_m;
  }
  if (!(grid_cells(region, largest) <= kMostCells)) {
    const Eigen::Vector3f size = region.high - region.low;
    throw CalibrationRefusal(
            "the part of the arm frame both clouds share is too large to thin: " +
            format_decimal(size.x(), 1) + " x " + format_decimal(size.y(), 1) + " x " +
            format_decimal(size.z(), 1) + " m would need " +
            scientific(grid_cells(region, largest)) + " voxels of " + millimetres(largest) +
            ", PCL's voxel grid holds at most " + scientific(kMostCells) + "; both cameras see "
            "far beyond a workspace: check each camera's intrinsics, or crop the depth images "
            "to the part of the scene both see");
  }
  // Cells fall as the voxel grows: the smallest voxel that fits lies between the two.
  double too_small = wanted;
  double fits = largest;
  for (int i = 0; i < kBisections; ++i) {
    const double middle = 0.5 * (too_small + fits);
    (grid_cells(region, middle) <= kMostCells ? fits : too_small) = middle;
  }
  return static_cast<float>(fits);
}

}  // namespace tavrinox_camera_convertor
