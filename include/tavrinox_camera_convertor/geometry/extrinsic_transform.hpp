// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include <Eigen/Core>

#include <array>
#include <ostream>

namespace tavrinox_camera_convertor
{

/// Camera-to-arm homogeneous transform: p_arm = R * p_camera + t, bottom row 0 0 0 1.
using ExtrinsicTransform = Eigen::Matrix4f;

/**
 * @brief Rotation Rz(rz) * Ry(ry) * Rx(rx) about the fixed arm axes.
 *
 * Every entry is computed in double precision and rounded to float once.
 * @param rx angle about x in degrees
 * @param ry angle about y in degrees
 * @param rz angle about z in degrees
 */
Eigen::Matrix3f euler_to_rotation(double rx, double ry, double rz);

/**
 * @brief Builds the 4x4 camera-to-arm transform from configured angles and translation.
 * @param angles_deg rotation angles about x, y, z in degrees, as read from the configuration
 * @param translation_m position of the camera's optical centre in the arm frame, metres, used unchanged
 */
ExtrinsicTransform make_extrinsic_transform(
  const std::array<float, 3> & angles_deg, const std::array<float, 3> & translation_m);

/// @brief Writes camera `camera`'s (1 or 2) matrix with its title, as print_extrinsics does.
void print_extrinsic(std::ostream & out, int camera, const ExtrinsicTransform & extrinsic);

/**
 * @brief Writes both matrices with their titles, each line flushed, in Eigen's default format.
 *
 * This is the start-up text that users compare against their calibration sheet.
 */
void print_extrinsics(
  std::ostream & out, const ExtrinsicTransform & extrinsic_1,
  const ExtrinsicTransform & extrinsic_2);

}  // namespace tavrinox_camera_convertor
