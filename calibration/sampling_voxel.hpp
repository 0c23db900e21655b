// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include "shared_region.hpp"
#include "surface_sample.hpp"

namespace tavrinox_camera_convertor
{

/// PCL's VoxelGrid numbers its voxels with 32-bit integers and refuses a grid of more cells
/// (it warns and returns the cloud unthinned); grids are kept below this share of its limit,
/// which leaves room for its float arithmetic.
inline constexpr double kVoxelGridCellShare = 0.5;

/// Voxels may grow up to this share of the normal radius where the grid would be too large:
/// a flat patch then still has enough neighbours within the radius to fit its plane.
inline constexpr double kLargestVoxelShareOfNormalRadius = 2.0 / 3.0;

/**
 * @brief The voxel edge both clouds are thinned with inside `region`: settings.voxel_m, or the
 *        smallest coarser one, up to kLargestVoxelShareOfNormalRadius of the normal radius,
 *        whose grid PCL's VoxelGrid can index.
 *
 * Thinning is what bounds the rest of the check: every later search (normals, overlap,
 * registration) sees at most one point per voxel, so a radius holds a few hundred points at
 * most. An unthinned cloud would make each of them search all its points.
 * @throws CalibrationRefusal when even the largest voxel gives a grid PCL cannot index, or the
 *         region lies so far from the arm's origin that its voxel numbers overflow 32 bits
 */
float sampling_voxel(const SharedRegion & region, const SamplingSettings & settings);

}  // namespace tavrinox_camera_convertor
