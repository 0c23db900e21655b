// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "preview_drawing.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include <opencv2/imgproc.hpp>

namespace tavrinox_camera_convertor
{
namespace
{

constexpr int kFont = cv::FONT_HERSHEY_SIMPLEX;

}  // namespace

void draw_label(
  cv::Mat & image, const std::string & text, cv::Point origin, const cv::Scalar & colour,
  double scale)
{
  cv::putText(image, text, origin, kFont, scale, cv::Scalar(0, 0, 0), 3, cv::LINE_AA);
  cv::putText(image, text, origin, kFont, scale, colour, 1, cv::LINE_AA);
}

std::string format_decimal(double value, int decimals)
{
  char text[32];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

cv::Mat fit(const cv::Mat & image, cv::Size panel, int interpolation)
{
  cv::Mat fitted(panel, image.type(), cv::Scalar::all(0));
  if (image.empty()) {
    return fitted;
  }
  const double scale = std::min(
    static_cast<double>(panel.width) / image.cols, static_cast<double>(panel.height) / image.rows);
  const cv::Size size(
    std::max(1, static_cast<int>(std::lround(image.cols * scale))),
    std::max(1, static_cast<int>(std::lround(image.rows * scale))));
  cv::Mat resized;
  cv::resize(image, resized, size, 0.0, 0.0, interpolation);
  const cv::Rect centred(
    (panel.width - size.width) / 2, (panel.height - size.height) / 2, size.width, size.height);
  resized.copyTo(fitted(centred));
  return fitted;
}

cv::Mat titled(const cv::Mat & panel, const std::string & title)
{
  cv::Mat out(panel.rows + kPreviewTitleHeight, panel.cols, CV_8UC3, cv::Scalar(55, 55, 55));
  panel.copyTo(out(cv::Rect(0, kPreviewTitleHeight, panel.cols, panel.rows)));
  cv::putText(
    out, title, cv::Point(8, kPreviewTitleHeight - 8), kFont, kPreviewTitleScale,
    cv::Scalar(255, 255, 255), 1,
    cv::LINE_AA);
  return out;
}

}  // namespace tavrinox_camera_convertor
