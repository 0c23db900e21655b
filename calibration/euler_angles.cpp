// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "euler_angles.hpp"

#include <Eigen/Geometry>

#include <cmath>

namespace tavrinox_camera_convertor
{
namespace
{

constexpr double kPi = 3.141592653589793;

double radians(double degrees) {return degrees * kPi / 180.0;}
double degrees(double radians) {return radians * 180.0 / kPi;}

/// `angle` moved by whole turns into (reference - 180, reference + 180].
double wrapped_near(double angle, double reference)
{
  return angle - 360.0 * std::ceil((angle - reference - 180.0) / 360.0);
}

double squared_distance(const EulerAngles & a, const EulerAngles & b)
{
  double sum = 0.0;
  for (std::size_t i = 0; i < 3; ++i) {
    sum += (a[i] - b[i]) * (a[i] - b[i]);
  }
  return sum;
}

}  // namespace

Eigen::Matrix3d euler_to_rotation_double(const EulerAngles & angles)
{
  return (Eigen::AngleAxisd(radians(angles[2]), Eigen::Vector3d::UnitZ()) *
         Eigen::AngleAxisd(radians(angles[1]), Eigen::Vector3d::UnitY()) *
         Eigen::AngleAxisd(radians(angles[0]), Eigen::Vector3d::UnitX())).toRotationMatrix();
}

EulerAngles rotation_to_euler(const Eigen::Matrix3d & rotation)
{
  // R(2,0) = -sin(ry) and hypot(R(0,0), R(1,0)) = cos(ry): atan2 of both is exact near +-90
  // degrees, where -asin(R(2,0)) loses half of its digits.
  const double cos_ry = std::hypot(rotation(0, 0), rotation(1, 0));
  const double ry = std::atan2(-rotation(2, 0), cos_ry);
  // At the gimbal lock Rx and Rz turn about the same axis: rx = 0 and rz takes the whole turn.
  constexpr double kGimbalLock = 1e-12;
  const double rx = cos_ry < kGimbalLock ? 0.0 : std::atan2(rotation(2, 1), rotation(2, 2));
  // rz is solved from Rz = R * Rx^T * Ry^T rather than from R(1,0) and R(0,0) alone: near the
  // gimbal lock those two are tiny and noisy, and this way any error of rx is absorbed into rz.
  const Eigen::Matrix3d rz_only = rotation *
    Eigen::AngleAxisd(-rx, Eigen::Vector3d::UnitX()).toRotationMatrix() *
    Eigen::AngleAxisd(-ry, Eigen::Vector3d::UnitY()).toRotationMatrix();
  const double rz = std::atan2(rz_only(1, 0) - rz_only(0, 1), rz_only(0, 0) + rz_only(1, 1));
  return {degrees(rx), degrees(ry), degrees(rz)};
}

EulerAngles nearest_equivalent_angles(const EulerAngles & angles, const EulerAngles & reference)
{
  const EulerAngles flipped = {angles[0] + 180.0, 180.0 - angles[1], angles[2] + 180.0};
  EulerAngles best{};
  double best_distance = INFINITY;
  for (const EulerAngles & candidate : {angles, flipped}) {
    EulerAngles near{};
    for (std::size_t i = 0; i < 3; ++i) {
      near[i] = wrapped_near(candidate[i], reference[i]);
    }
    const double distance = squared_distance(near, reference);
    if (distance < best_distance) {
      best_distance = distance;
      best = near;
    }
  }
  return best;
}

}  // namespace tavrinox_camera_convertor
