// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include <Eigen/Core>

#include "euler_angles.hpp"
#include "extrinsic_values.hpp"
#include "tavrinox_camera_convertor/geometry/extrinsic_transform.hpp"

namespace tavrinox_camera_convertor
{

/// A correction of one camera's extrinsic, in the terms a user compares with the configuration.
struct CameraCorrection
{
  Eigen::Matrix4d correction = Eigen::Matrix4d::Identity();  ///< arm frame to arm frame
  /// correction * old extrinsic
  Eigen::Matrix4d corrected_extrinsic = Eigen::Matrix4d::Identity();
  double rotation_deg = 0.0;                                  ///< how far the camera turns
  Eigen::Vector3d rotation_axis = Eigen::Vector3d::UnitZ();   ///< about which arm-frame axis
  Eigen::Vector3d camera_shift_m = Eigen::Vector3d::Zero();   ///< how the optical centre moves
  ExtrinsicValues corrected_values;                           ///< the new Rxyz and Txyz
};

/**
 * @brief Applies `correction` to a camera and says how the camera moves.
 *
 * The corrected extrinsic is correction * old extrinsic, with its rotation made orthonormal again
 * (ICP works in float). Its angles are the triple nearest the configured ones, so the rewritten
 * configuration reads like the old one.
 * @param correction maps the camera's arm-frame cloud onto where it belongs
 * @param configured the camera's Rxyz and Txyz as the configuration file holds them
 */
CameraCorrection correct_camera(
  const Eigen::Matrix4d & correction,
  const ExtrinsicValues & configured);

/**
 * @brief Whether `correction` turns the camera by at most `max_rotation_deg` and moves its optical
 *        centre by at most `max_translation_mm`; a larger correction is taken for a failed registration.
 */
bool within_limits(
  const CameraCorrection & correction, double max_rotation_deg,
  double max_translation_mm);

/// @brief The camera's 4x4 extrinsic in double precision from configured angles and translation.
Eigen::Matrix4d extrinsic_of(const ExtrinsicValues & values);

}  // namespace tavrinox_camera_convertor
