// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include <string>

#include <opencv2/core.hpp>

namespace tavrinox_camera_convertor
{

/// Font scale of the small labels inside the preview's panels.
inline constexpr double kPreviewLabelScale = 0.4;
/// Font scale of the panel titles.
inline constexpr double kPreviewTitleScale = 0.5;

/// @brief Camera 1's colour in the preview's cloud views (orange, blue-green-red order).
inline cv::Scalar camera_1_colour() {return {0, 120, 255};}
/// @brief Camera 2's colour (azure): orange and azure add up to white, so overlap turns grey to
/// white.
inline cv::Scalar camera_2_colour() {return {255, 135, 0};}

/// @brief Draws `text` with a dark outline, readable over any picture.
void draw_label(
  cv::Mat & image, const std::string & text, cv::Point origin, const cv::Scalar & colour,
  double scale = kPreviewLabelScale);

/// @brief `value` with `decimals` digits after the point.
std::string format_decimal(double value, int decimals);

/// @brief `image` scaled to fit `panel` with its proportions kept, centred on black; same type as
/// `image`.
cv::Mat fit(const cv::Mat & image, cv::Size panel, int interpolation);

/// @brief `panel` (CV_8UC3) under a title bar.
cv::Mat titled(const cv::Mat & panel, const std::string & title);

/// Height of the title bar titled() adds.
inline constexpr int kPreviewTitleHeight = 26;

}  // namespace tavrinox_camera_convertor
