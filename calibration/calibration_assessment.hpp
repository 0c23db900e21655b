// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include <pcl/point_cloud.h>
#include <pcl/point_types.h>

#include <array>
#include <string>

#include "arm_clouds.hpp"
#include "calibration_options.hpp"
#include "calibration_report.hpp"
#include "cloud_registration.hpp"
#include "extrinsic_values.hpp"
#include "loaded_config.hpp"
#include "surface_sample.hpp"

namespace tavrinox_camera_convertor
{

/// Everything found under one calibration.
struct Assessment
{
  ArmClouds clouds;  ///< both cameras' clouds as the node builds them
  SamplingSettings sampling;  ///< as given, with the voxel both clouds were thinned with
  std::array<pcl::PointCloud<pcl::PointNormal>::Ptr, 2> surfaces;  ///< both thinned, with normals
  /// the registered camera's Rxyz and Txyz as the configuration holds them
  ExtrinsicValues configured;
  CalibrationFigures figures;
};

/**
 * @brief Builds both clouds under `loaded`'s calibration, measures their agreement and registers
 *        options.refined_camera onto the other camera.
 * @throws CalibrationRefusal for too few points, no overlap, clouds too large or too far out to
 *         thin, a registration that does not converge, or a correction beyond the options' limits
 * @throws FrameError when a depth image cannot be read
 */
Assessment assess(
  const DepthImages & depth, const LoadedConfig & loaded, const CalibrationOptions & options,
  const SamplingSettings & sampling, const RegistrationSettings & registration);

/// @brief One line that says how the registration is done.
std::string registration_summary(
  int camera, const RegistrationSettings & settings, const SamplingSettings & sampling);

}  // namespace tavrinox_camera_convertor
