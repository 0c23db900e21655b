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
 *        as OpenCV's projectPoints and fisheye::projectPoints do, in double precision.
 */
inline void distort_normalised(const Distortion & lens, double & x, double & y)
{
  const auto & k = lens.coefficients;
  if (lens.model == DistortionModel::equidistant) {
    const double r = std::sqrt(x * x + y * y);
    if (r > 0.0) {
      const double theta = std::atan(r);
      const double t2 = theta * theta;
      const double theta_d =
        theta * (1.0 + t2 * (k[0] + t2 * (k[1] + t2 * (k[2] + t2 * k[3]))));
      const double scale = theta_d / r;
      x *= scale;
      y *= scale;
    }
    return;
  }
  // plumb_bob is the rational model with k4 = k5 = k6 = 0.
  const double r2 = x * x + y * y;
  const double radial = (1.0 + r2 * (k[0] + r2 * (k[1] + r2 * k[4]))) /
    (1.0 + r2 * (k[5] + r2 * (k[6] + r2 * k[7])));
  const double xy = 2.0 * x * y;
  const double distorted_x = x * radial + k[2] * xy + k[3] * (r2 + 2.0 * x * x);
  const double distorted_y = y * radial + k[2] * (r2 + 2.0 * y * y) + k[3] * xy;
  x = distorted_x;
  y = distorted_y;
}

}  // namespace tavrinox_camera_convertor
