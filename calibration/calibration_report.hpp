// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include <string>

#include "camera_correction.hpp"
#include "cloud_agreement.hpp"
#include "extrinsic_values.hpp"
#include "overlap_shift.hpp"

namespace tavrinox_camera_convertor
{

/// The calibration agrees when its disagreement (see CalibrationFigures) is at most this. A
/// calibration right to about a millimetre and a tenth of a degree stays well below it, sensor
/// noise included; a degree or a centimetre off goes above it.
inline constexpr double kAgreementLimitMm = 5.0;

/// What the check found under one calibration.
struct CalibrationFigures
{
  Agreement agreement;          ///< camera 2's points against camera 1's surface
  int registered_camera = 2;    ///< the camera registration moved onto the other
  CameraCorrection correction;  ///< what registration would change of that camera
  OverlapShift shift;           ///< how far that correction moves the overlap

  /**
   * @brief The verdict's figure: the median point-to-plane distance or the median shift, the larger.
   *
   * The distance tells how far apart the surfaces lie, the shift how far registration slides them,
   * which the distance alone misses when the error runs along the main surface (a turn about the
   * vertical above a table).
   */
  double disagreement_mm() const;
};

/// @brief Whether the disagreement is within kAgreementLimitMm.
bool calibration_agrees(const CalibrationFigures & figures);

/**
 * @brief The verdict, exactly "calibration agrees to 1.8 mm (median)" or
 *        "cameras disagree by 14 mm: run with --refine", without a line end.
 */
std::string verdict_line(const CalibrationFigures & figures);

/// @brief The overlap, distance and registration figures, three lines, each ending in a line end.
std::string figure_lines(const CalibrationFigures & figures);

/// @brief The corrected Rxyz and Txyz next to the configured ones, two lines, each ending in a line
/// end.
std::string corrected_value_lines(
  int camera, const CameraCorrection & correction,
  const ExtrinsicValues & configured);

/// @brief The verdict and the figures in one line for the picture, for example
/// "agrees to 0.2 mm  (...)".
std::string figures_summary(const CalibrationFigures & figures);

}  // namespace tavrinox_camera_convertor
