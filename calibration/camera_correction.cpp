// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "camera_correction.hpp"

#include <Eigen/Geometry>
#include <Eigen/SVD>

namespace tavrinox_camera_convertor
{
namespace
{

/// The rotation nearest `matrix` in the Frobenius norm.
Eigen::Matrix3d orthonormalized(const Eigen::Matrix3d & matrix)
{
  const Eigen::JacobiSVD<Eigen::Matrix3d> svd(matrix, Eigen::ComputeFullU | Eigen::ComputeFullV);
  Eigen::Matrix3d reflection_fix = Eigen::Matrix3d::Identity();
  reflection_fix(
    2,
    2) = (svd.matrixU() * svd.matrixV().transpose()).determinant() < 0.0 ? -1.0 : 1.0;
  return svd.matrixU() * reflection_fix * svd.matrixV().transpose();
}

}  // namespace

Eigen::Matrix4d extrinsic_of(const ExtrinsicValues & values)
{
  Eigen::Matrix4d extrinsic = Eigen::Matrix4d::Identity();
  extrinsic.block<3, 3>(0, 0) = euler_to_rotation_double(values.angles_deg);
  extrinsic.block<3, 1>(0, 3) = Eigen::Vector3d(
    values.translation_m[0], values.translation_m[1], values.translation_m[2]);
  return extrinsic;
}

bool within_limits(
  const CameraCorrection & correction, double max_rotation_deg,
  double max_translation_mm)
{
  return correction.rotation_deg <= max_rotation_deg &&
         1000.0 * correction.camera_shift_m.norm() <= max_translation_mm;
}

CameraCorrection correct_camera(
  const Eigen::Matrix4d & correction,
  const ExtrinsicValues & configured)
{
  CameraCorrection result;
  result.correction = correction;
  result.correction.block<3, 3>(0, 0) = orthonormalized(correction.block<3, 3>(0, 0));
  result.correction.row(3) = Eigen::RowVector4d(0.0, 0.0, 0.0, 1.0);

  const Eigen::AngleAxisd turn(result.correction.block<3, 3>(0, 0));
  result.rotation_deg = turn.angle() * 180.0 / 3.141592653589793;
  result.rotation_axis = turn.axis();

  const Eigen::Matrix4d old_extrinsic = extrinsic_of(configured);
  result.corrected_extrinsic = result.correction * old_extrinsic;
  result.corrected_extrinsic.block<3, 3>(0, 0) = orthonormalized(
    result.corrected_extrinsic.block<3,
    3>(0, 0));
  result.camera_shift_m = result.corrected_extrinsic.block<3, 1>(0, 3) - old_extrinsic.block<3, 1>(
    0, 3);

  result.corrected_values.angles_deg = nearest_equivalent_angles(
    rotation_to_euler(result.corrected_extrinsic.block<3, 3>(0, 0)), configured.angles_deg);
  for (int i = 0; i < 3; ++i) {
    result.corrected_values.translation_m[i] = result.corrected_extrinsic(i, 3);
  }
  return result;
}

}  // namespace tavrinox_camera_convertor
