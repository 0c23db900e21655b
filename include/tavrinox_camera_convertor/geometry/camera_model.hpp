// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include <array>
#include <cmath>
#include <cstddef>
#include <string>
#include <string_view>

#include "tavrinox_camera_convertor/geometry/camera_intrinsics.hpp"

namespace tavrinox_camera_convertor
{

/// The lens models a camera info may name, as ROS names them.
enum class DistortionModel
{
  none,                 ///< an ideal pinhole
  plumb_bob,            ///< k1 k2 p1 p2 k3
  rational_polynomial,  ///< k1 k2 p1 p2 k3 k4 k5 k6
  equidistant,          ///< k1 k2 k3 k4 (the fisheye model)
};

/// A lens's distortion, in OpenCV's conventions for each model.
struct Distortion
{
  DistortionModel model = DistortionModel::none;
  /// the model's coefficients in ROS's order; those past the model's count are zero
  std::array<double, 8> coefficients{};

  /// @brief Whether any coefficient bends the rays: without, the pinhole arithmetic applies.
  bool bends() const;

  bool operator==(const Distortion & other) const
  {
    return model == other.model && coefficients == other.coefficients;
  }
};

/// How a camera's pixels and rays correspond: the pinhole intrinsics and the lens distortion.
struct CameraModel
{
  CameraIntrinsics intrinsics;
  Distortion distortion;

  bool operator==(const CameraModel & other) const
  {
    return intrinsics.fx == other.intrinsics.fx && intrinsics.fy == other.intrinsics.fy &&
           intrinsics.cx == other.intrinsics.cx && intrinsics.cy == other.intrinsics.cy &&
           distortion == other.distortion;
  }
  bool operator!=(const CameraModel & other) const {return !(*this == other);}
};

/// @brief The ROS name of `model` ("plumb_bob", ...); "" for none.
std::string_view distortion_model_name(DistortionModel model);

/// @brief How many coefficients `model` takes (5, 8, 4; 0 for none).
std::size_t coefficient_count(DistortionModel model);

/**
 * @brief The distortion a camera info describes.
 *
 * An empty model name with no coefficients, or all of them zero, is an ideal pinhole.
 * @param camera names the camera in the error text, for example "camera 1"
 * @throws FrameError naming the camera and the field: an unknown model, or a coefficient count
 *         or value (NaN, infinite) the model cannot take
 */
Distortion distortion_from_camera_info(
  std::string_view model_name, const double * coefficients, std::size_t count,
  std::string_view camera);

/**
 * @brief Maps a point on the normalised image plane (x = X / Z, y = Y / Z) through the lens,
 *        with OpenCV's formulas (projectPoints, fisheye::projectPoints), in the precision of
 *        `Real`. The renderer uses float, whose vector loops repeat these very operations.
 */
template<typename Real>
inline void distort_normalised(const Distortion & lens, Real & x, Real & y)
{
  const auto k = [&lens](int i) {return static_cast<Real>(lens.coefficients[i]);};
  const Real one = 1;
  const Real two = 2;
  if (lens.model == DistortionModel::equidistant) {
    const Real r = std::sqrt(x * x + y * y);
    if (r > 0) {
      const Real theta = std::atan(r);
      const Real t2 = theta * theta;
      const Real theta_d = theta * (one + t2 * (k(0) + t2 * (k(1) + t2 * (k(2) + t2 * k(3)))));
      const Real scale = theta_d / r;
      x *= scale;
      y *= scale;
    }
    return;
  }
  // plumb_bob is the rational model with k4 = k5 = k6 = 0.
  const Real r2 = x * x + y * y;
  const Real radial = (one + r2 * (k(0) + r2 * (k(1) + r2 * k(4)))) /
    (one + r2 * (k(5) + r2 * (k(6) + r2 * k(7))));
  const Real xy = two * x * y;
  const Real distorted_x = x * radial + k(2) * xy + k(3) * (r2 + two * x * x);
  const Real distorted_y = y * radial + k(2) * (r2 + two * y * y) + k(3) * xy;
  x = distorted_x;
  y = distorted_y;
}

}  // namespace tavrinox_camera_convertor
