// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include <string>
#include <vector>

#include <opencv2/core.hpp>

#include "arm_clouds.hpp"
#include "calibration_report.hpp"
#include "tavrinox_camera_convertor/geometry/camera_config.hpp"

namespace tavrinox_camera_convertor
{

/// One row of the picture: both clouds and what the check found under one calibration.
struct PictureRow
{
  std::string title;  ///< for example "before: as configured"
  ArmClouds clouds;
  CameraConfig config;
  cv::Size image_size_1;  ///< camera 1's depth image, which the disagreement map follows
  CalibrationFigures figures;
};

/// Disagreements at or above this are drawn in the colour map's last colour.
inline constexpr double kDisagreementScaleMm = 10.0;

/**
 * @brief Draws one row per calibration: top and side views of both clouds (camera 1 orange,
 *        camera 2 azure, white where they coincide) and a map of the disagreement over the
 *        overlap.
 *
 * The map shows the overlap as camera 1 sees it, each patch of 4 x 4 of its pixels coloured by
 * the median disagreement of the points there: a point's distance to camera 1's surface or,
 * where larger, how far registration moves it (the two figures whose medians make the
 * verdict). The cloud views frame the bulk of the points (see draw_cloud_view). The work is
 * bounded by the picture's size, camera 1's image size and the points, whatever their values.
 * @return a CV_8UC3 picture
 */
cv::Mat draw_calibration_picture(const std::vector<PictureRow> & rows);

}  // namespace tavrinox_camera_convertor
