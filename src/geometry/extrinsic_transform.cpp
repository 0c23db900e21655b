// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "tavrinox_camera_convertor/geometry/extrinsic_transform.hpp"

#include <cmath>

namespace tavrinox_camera_convertor
{

Eigen::Matrix3f euler_to_rotation(double rx, double ry, double rz)
{
  // pi is multiplied first, then divided by 180: the entries must match to the last bit.
  const double alpha = rx * 3.141592653589793 / 180.0;
  const double beta = ry * 3.141592653589793 / 180.0;
  const double gamma = rz * 3.141592653589793 / 180.0;
  const double sa = std::sin(alpha);
  const double ca = std::cos(alpha);
  const double sb = std::sin(beta);
  const double cb = std::cos(beta);
  const double sg = std::sin(gamma);
  const double cg = std::cos(gamma);

  Eigen::Matrix3f rotation;
  rotation(0, 0) = static_cast<float>(cb * cg);
  rotation(0, 1) = static_cast<float>(sa * sb * cg - ca * sg);
  rotation(0, 2) = static_cast<float>(ca * sb * cg + sa * sg);
  rotation(1, 0) = static_cast<float>(cb * sg);
  rotation(1, 1) = static_cast<float>(sa * sb * sg + ca * cg);
  rotation(1, 2) = static_cast<float>(ca * sb * sg - sa * cg);
  // Negated after rounding, so ry = 0 gives -0 here.
  rotation(2, 0) = -static_cast<float>(sb);
  rotation(2, 1) = static_cast<float>(sa * cb);
  rotation(2, 2) = static_cast<float>(ca * cb);
  return rotation;
}

ExtrinsicTransform make_extrinsic_transform(
  const std::array<float, 3> & angles_deg, const std::array<float, 3> & translation_m)
{
  const Eigen::Matrix3f rotation = euler_to_rotation(angles_deg[0], angles_deg[1], angles_deg[2]);
  const Eigen::Vector3f translation(translation_m[0], translation_m[1], translation_m[2]);
  ExtrinsicTransform transform;
  transform << rotation, translation, 0.0f, 0.0f, 0.0f, 1.0f;
  return transform;
}

void print_extrinsic(std::ostream & out, int camera, const ExtrinsicTransform & extrinsic)
{
  // The titles differ by an underscore, as users' log parsers have always seen them.
  out << (camera == 1 ? "相机外参齐次变换矩阵camera_extrinsic_1: " :
  "相机外参齐次变换矩阵camera_extrinsic_2_: ") << std::endl;
  out << extrinsic << std::endl;
}

void print_extrinsics(
  std::ostream & out, const ExtrinsicTransform & extrinsic_1,
  const ExtrinsicTransform & extrinsic_2)
{
  print_extrinsic(out, 1, extrinsic_1);
  print_extrinsic(out, 2, extrinsic_2);
}

}  // namespace tavrinox_camera_convertor
