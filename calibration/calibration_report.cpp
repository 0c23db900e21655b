// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "calibration_report.hpp"

#include <algorithm>
#include <cmath>

#include "preview_drawing.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

std::string vector_text(const Eigen::Vector3d & vector, double scale, int decimals)
{
  return "(" + format_decimal(scale * vector.x(), decimals) + ", " + format_decimal(
    scale * vector.y(), decimals) +
         ", " + format_decimal(scale * vector.z(), decimals) + ")";
}

std::string triple_text(const std::array<double, 3> & values, int decimals)
{
  return "[" +
         config_number(values[0], decimals) + ", " + config_number(values[1], decimals) + ", " +
         config_number(values[2], decimals) + "]";
}

}  // namespace

double CalibrationFigures::disagreement_mm() const
{
  return std::max(agreement.median_mm, shift.median_mm);
}

bool calibration_agrees(const CalibrationFigures & figures)
{
  return figures.disagreement_mm() <= kAgreementLimitMm;
}

std::string verdict_line(const CalibrationFigures & figures)
{
  const double disagreement = figures.disagreement_mm();
  if (calibration_agrees(figures)) {
    return "calibration agrees to " + format_decimal(disagreement, 1) + " mm (median)";
  }
  return "cameras disagree by " + format_decimal(disagreement, disagreement < 10.0 ? 1 : 0) +
         " mm: run with --refine";
}

std::string figure_lines(const CalibrationFigures & figures)
{
  const Agreement & agreement = figures.agreement;
  const CameraCorrection & correction = figures.correction;
  const int moved = figures.registered_camera;
  return "  overlap: " + std::to_string(agreement.overlap_points) + " of camera 2's " +
         std::to_string(agreement.points) + " points have a camera 1 point within 2 cm (" +
         format_decimal(100.0 * agreement.overlap_share(), 1) + " %)\n" +
         "  distance to camera 1's surface over the overlap (" + std::to_string(
    agreement.overlap.size()) +
         " points facing the same way): median " + format_decimal(agreement.median_mm, 2) +
         " mm, 90th percentile " + format_decimal(agreement.p90_mm, 2) + " mm\n" +
         "  registration of camera " + std::to_string(moved) + " onto camera " + std::to_string(
    3 - moved) +
         ": it turns by " + format_decimal(correction.rotation_deg, 3) + " deg about " +
         vector_text(correction.rotation_axis, 1.0, 3) + " and moves by " +
         format_decimal(1000.0 * correction.camera_shift_m.norm(), 2) + " mm " +
         vector_text(correction.camera_shift_m, 1000.0, 2) + "; the overlap shifts by median " +
         format_decimal(figures.shift.median_mm, 2) + " mm, 90th percentile " +
         format_decimal(figures.shift.p90_mm, 2) + " mm\n";
}

std::string corrected_value_lines(
  int camera, const CameraCorrection & correction,
  const ExtrinsicValues & configured)
{
  const std::string name = "  camera " + std::to_string(camera);
  return name + " Rxyz: " + triple_text(correction.corrected_values.angles_deg, 4) + " (was " +
         triple_text(configured.angles_deg, 4) + ")\n" +
         name + " Txyz: " + triple_text(correction.corrected_values.translation_m, 6) + " (was " +
         triple_text(configured.translation_m, 6) + ")\n";
}

std::string figures_summary(const CalibrationFigures & figures)
{
  const double disagreement = figures.disagreement_mm();
  const std::string verdict = calibration_agrees(figures) ?
    "agrees to " + format_decimal(disagreement, 1) + " mm" :
    "disagrees by " + format_decimal(disagreement, disagreement < 10.0 ? 1 : 0) + " mm";
  return verdict + "  (" +
         format_decimal(
    100.0 * figures.agreement.overlap_share(),
    1) + " % overlap, distance median " +
         format_decimal(figures.agreement.median_mm, 1) + " mm, 90th pct " + format_decimal(
    figures.agreement.p90_mm, 1) +
         " mm, registration shift median " + format_decimal(figures.shift.median_mm, 1) + " mm)";
}

}  // namespace tavrinox_camera_convertor
