// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "calibration_picture.hpp"

#include <Eigen/Geometry>

#include <algorithm>
#include <array>
#include <cmath>

#include <opencv2/imgproc.hpp>

#include "cloud_view.hpp"
#include "preview_drawing.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

const cv::Size kPanel(440, 330);
constexpr int kGap = 6;
constexpr int kRowHeaderHeight = 28;
constexpr int kLegendHeight = 30;
// Camera pixels per map cell a side: several points fall in each cell even at a 5 mm spacing up
// close.
constexpr int kCellPixels = 4;

cv::Scalar background() {return {30, 30, 30};}

/// 256 colours from agreeing (dark blue) to disagreeing (dark red).
cv::Mat make_colour_map()
{
  cv::Mat ramp(1, 256, CV_8UC1);
  for (int i = 0; i < 256; ++i) {
    ramp.at<std::uint8_t>(0, i) = static_cast<std::uint8_t>(i);
  }
  cv::Mat colours;
  cv::applyColorMap(ramp, colours, cv::COLORMAP_TURBO);
  return colours;
}

cv::Vec3b colour_of(double disagreement_mm, const cv::Mat & colour_map)
{
  // NaN is no agreement at all: the last colour, as for the largest disagreement.
  const double share = std::isnan(disagreement_mm) ? 1.0 :
    std::clamp(disagreement_mm / kDisagreementScaleMm, 0.0, 1.0);
  return colour_map.at<cv::Vec3b>(0, static_cast<int>(std::lround(share * 255.0)));
}

void draw_colour_bar(cv::Mat & view, const cv::Mat & colour_map)
{
  const cv::Rect bar(view.cols - 200, view.rows - 20, 120, 10);
  for (int x = 0; x < bar.width; ++x) {
    const cv::Vec3b colour = colour_map.at<cv::Vec3b>(0, x * 255 / (bar.width - 1));
    cv::line(
      view, cv::Point(bar.x + x, bar.y), cv::Point(bar.x + x, bar.y + bar.height),
      cv::Scalar(colour[0], colour[1], colour[2]), 1);
  }
  const int limit_x =
    bar.x + static_cast<int>(std::lround(bar.width * kAgreementLimitMm / kDisagreementScaleMm));
  cv::line(
    view, cv::Point(limit_x, bar.y - 3), cv::Point(limit_x, bar.y + bar.height + 2),
    cv::Scalar(255, 255, 255), 1);
  const cv::Scalar text(220, 220, 220);
  draw_label(view, "0", cv::Point(bar.x - 12, bar.y + 10), text);
  draw_label(
    view, format_decimal(kDisagreementScaleMm, 0) + "+ mm",
    cv::Point(bar.x + bar.width + 4, bar.y + 10), text);
  draw_label(
    view, "limit " + format_decimal(kAgreementLimitMm, 0) + " mm",
    cv::Point(8, view.rows - 10), text);
}

/// The overlap as camera 1 sees it, each cell coloured by its points' median disagreement.
cv::Mat draw_disagreement_map(const PictureRow & row)
{
  const cv::Size grid((std::max(0, row.image_size_1.width) + kCellPixels - 1) / kCellPixels,
    (std::max(0, row.image_size_1.height) + kCellPixels - 1) / kCellPixels);
  std::vector<std::vector<float>> cells(static_cast<std::size_t>(grid.area()));
  const Eigen::Affine3d arm_to_camera(row.config.extrinsic_1.cast<double>().inverse());
  const Eigen::Affine3d correction(row.figures.correction.correction);
  const CameraIntrinsics & intrinsics = row.config.intrinsics_1;
  for (const OverlapPoint & point : row.figures.agreement.overlap) {
    const Eigen::Vector3d position = point.position.cast<double>();
    const Eigen::Vector3d seen = arm_to_camera * position;
    if (!(seen.z() > 0.0)) {
      continue;
    }
    const double column = (intrinsics.fx * seen.x() / seen.z() + intrinsics.cx) / kCellPixels;
    const double line = (intrinsics.fy * seen.y() / seen.z() + intrinsics.cy) / kCellPixels;
    // Compared before the conversion to int, which would overflow far outside (and for NaN).
    if (!(column >= 0.0 && column < grid.width && line >= 0.0 && line < grid.height)) {
      continue;
    }
    const int x = static_cast<int>(column);
    const int y = static_cast<int>(line);
    const double shift_m = (correction * position - position).norm();
    cells[static_cast<std::size_t>(y * grid.width + x)].push_back(
      static_cast<float>(1000.0 * std::max<double>(point.distance_m, shift_m)));
  }

  const cv::Mat colour_map = make_colour_map();
  cv::Mat map(grid, CV_8UC3, cv::Scalar(0, 0, 0));
  for (int y = 0; y < grid.height; ++y) {
    for (int x = 0; x < grid.width; ++x) {
      std::vector<float> & values = cells[static_cast<std::size_t>(y * grid.width + x)];
      if (values.empty()) {
        continue;
      }
      const auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
      std::nth_element(values.begin(), middle, values.end());
      map.at<cv::Vec3b>(y, x) = colour_of(*middle, colour_map);
    }
  }
  cv::Mat view(kPanel, CV_8UC3, cv::Scalar(0, 0, 0));
  fit(map, cv::Size(kPanel.width, kPanel.height - kLegendHeight), cv::INTER_NEAREST)
  .copyTo(view(cv::Rect(0, 0, kPanel.width, kPanel.height - kLegendHeight)));
  draw_colour_bar(view, colour_map);
  return view;
}

cv::Mat draw_row(const PictureRow & row)
{
  const std::array<Eigen::Vector3f, 2> cameras = {
    camera_position(row.config.extrinsic_1), camera_position(row.config.extrinsic_2)};
  const ArmClouds & clouds = row.clouds;
  const std::array<cv::Mat, 3> panels = {
    titled(
      draw_cloud_view(clouds.camera_1, clouds.camera_2, cameras, {0, 1, "x", "y"}, kPanel)
      .image, "top view, arm frame"),
    titled(
      draw_cloud_view(clouds.camera_1, clouds.camera_2, cameras, {0, 2, "x", "z"}, kPanel)
      .image, "side view, arm frame"),
    titled(draw_disagreement_map(row), "disagreement over the overlap, camera 1's view"),
  };
  cv::Mat out(kRowHeaderHeight + panels[0].rows, 3 * kPanel.width + 2 * kGap, CV_8UC3,
    background());
  draw_label(
    out, row.title + ":  " + figures_summary(row.figures), cv::Point(8, 19),
    cv::Scalar(255, 255, 255), kPreviewTitleScale);
  for (std::size_t i = 0; i < panels.size(); ++i) {
    panels[i].copyTo(
      out(
        cv::Rect(
          static_cast<int>(i) * (kPanel.width + kGap), kRowHeaderHeight,
          kPanel.width, panels[i].rows)));
  }
  return out;
}

}  // namespace

cv::Mat draw_calibration_picture(const std::vector<PictureRow> & rows)
{
  std::vector<cv::Mat> drawn;
  for (const PictureRow & row : rows) {
    drawn.push_back(draw_row(row));
  }
  cv::Mat picture;
  if (!drawn.empty()) {
    cv::vconcat(drawn, picture);
  }
  return picture;
}

}  // namespace tavrinox_camera_convertor
