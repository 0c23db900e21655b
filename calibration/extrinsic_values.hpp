// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include <array>
#include <string>

#include "euler_angles.hpp"
#include "tavrinox_camera_convertor/geometry/extrinsic_transform.hpp"

namespace tavrinox_camera_convertor
{

/// One camera's Rxyz (degrees) and Txyz (metres), as the configuration file holds them.
struct ExtrinsicValues
{
  EulerAngles angles_deg{};
  std::array<double, 3> translation_m{};
};

/**
 * @brief Reads camera_extrinsic_<camera>'s Rxyz and Txyz from configuration text.
 * @param shown_path names the file in the error text
 * @throws RunnerError when the text does not parse or lacks the values
 */
ExtrinsicValues read_extrinsic_values(
  const std::string & text, int camera,
  const std::string & shown_path);

/**
 * @brief camera_extrinsic_<camera>'s transform read from configuration text exactly as the node reads
 *        it: each number as float, then make_extrinsic_transform.
 * @throws RunnerError when the text does not parse or lacks the values
 */
ExtrinsicTransform configured_extrinsic(
  const std::string & text, int camera,
  const std::string & shown_path);

/**
 * @brief `text` with the six numbers of camera_extrinsic_<camera>'s Rxyz and Txyz replaced.
 *
 * Only the characters of those six numbers change, so comments, layout and every other key stay
 * as the user wrote them, flow ([a, b, c]) or block (- a) sequences alike. Angles are written with
 * 4 decimals (well below the 0.001 degree that matters) and metres with 6 (a micrometre).
 * @throws RunnerError when the numbers cannot be found in the text
 */
std::string replace_extrinsic_values(
  const std::string & text, int camera, const ExtrinsicValues & values,
  const std::string & shown_path);

/// @brief `value` with `decimals` digits after the point, trailing zeros dropped down to one, never
/// "-0".
std::string config_number(double value, int decimals);

}  // namespace tavrinox_camera_convertor
