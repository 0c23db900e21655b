// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include <Eigen/Core>

#include <array>

namespace tavrinox_camera_convertor
{

/// Rotation angles in degrees about the fixed arm axes x, y and z, in the order of a
/// configuration's Rxyz.
using EulerAngles = std::array<double, 3>;

/**
 * @brief The angles whose euler_to_rotation is `rotation`: the inverse of R = Rz(rz) * Ry(ry) * Rx(rx).
 *
 * ry lies in [-90, 90] and rx, rz in [-180, 180]. At ry = +-90 degrees only the sum or difference of rx
 * and rz is determined; rx is then 0 and rz carries the whole turn about the vertical.
 * @param rotation a proper rotation matrix (orthonormal, determinant 1), in double precision
 */
EulerAngles rotation_to_euler(const Eigen::Matrix3d & rotation);

/**
 * @brief Among the angle triples that give the same rotation as `angles`, the one nearest `reference`.
 *
 * Both (rx, ry, rz) and (rx + 180, 180 - ry, rz + 180) describe one rotation, and any angle may move by a
 * full turn; a rewritten configuration stays comparable with the old one line by line.
 */
EulerAngles nearest_equivalent_angles(const EulerAngles & angles, const EulerAngles & reference);

/// @brief euler_to_rotation in double precision: R = Rz(rz) * Ry(ry) * Rx(rx), angles in degrees.
Eigen::Matrix3d euler_to_rotation_double(const EulerAngles & angles);

}  // namespace tavrinox_camera_convertor
