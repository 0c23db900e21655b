// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "tavrinox_camera_convertor/geometry/camera_model.hpp"

#include <string>

#include "tavrinox_camera_convertor/geometry/frame_error.hpp"

namespace tavrinox_camera_convertor
{

bool Distortion::bends() const
{
  if (model == DistortionModel::none) {
    return false;
  }
  for (const double k : coefficients) {
    if (k != 0.0) {
      return true;
    }
  }
  return false;
}

std::string_view distortion_model_name(DistortionModel model)
{
  switch (model) {
    case DistortionModel::plumb_bob:
      return "plumb_bob";
    case DistortionModel::rational_polynomial:
      return "rational_polynomial";
    case DistortionModel::equidistant:
      return "equidistant";
    case DistortionModel::none:
      break;
  }
  return "";
}

std::size_t coefficient_count(DistortionModel model)
{
  switch (model) {
    case DistortionModel::plumb_bob:
      return 5;
    case DistortionModel::rational_polynomial:
      return 8;
    case DistortionModel::equidistant:
      return 4;
    case DistortionModel::none:
      break;
  }
  return 0;
}

Distortion distortion_from_camera_info(
  std::string_view model_name, const double * coefficients, std::size_t count,
  std::string_view camera)
{
  Distortion lens;
  const std::string where = std::string(camera) + " camera info: ";
  if (model_name.empty()) {
    // Simulators and rectified streams often leave both empty, or send zeros.
    for (std::size_t i = 0; i < count; ++i) {
      if (coefficients[i] != 0.0) {
        throw FrameError(where + "distortion_model is empty but D is not zero");
      }
    }
    return lens;
  }
  for (const DistortionModel model :
    {DistortionModel::plumb_bob, DistortionModel::rational_polynomial,
      DistortionModel::equidistant})
  {
    if (model_name == distortion_model_name(model)) {
      lens.model = model;
    }
  }
  if (lens.model == DistortionModel::none) {
    throw FrameError(
            where + "distortion_model \"" + std::string(model_name) +
            "\" is not supported (plumb_bob, rational_polynomial or equidistant)");
  }
  const std::size_t wanted = coefficient_count(lens.model);
  if (count != wanted) {
    throw FrameError(
            where + "D has " + std::to_string(count) + " coefficients, " +
            std::string(model_name) + " takes " + std::to_string(wanted));
  }
  for (std::size_t i = 0; i < count; ++i) {
    if (!std::isfinite(coefficients[i])) {
      throw FrameError(where + "D[" + std::to_string(i) + "] is not a finite number");
    }
  }
  // The rational model's slots: k1 k2 p1 p2 k3 k4 k5 k6; plumb_bob fills the first five.
  for (std::size_t i = 0; i < count; ++i) {
    lens.coefficients[i] = coefficients[i];
  }
  return lens;
}

}  // namespace tavrinox_camera_convertor
