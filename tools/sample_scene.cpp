// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "sample_scene.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <string>

#include <opencv2/core.hpp>

#include "image_mat.hpp"
#include "tabletop_scene.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

constexpr std::uint32_t kLargestSide = 8192;

// Glare on the glossy table as camera 1 sees it: its depth sensor reads nothing there.
constexpr double kGlareMinX = 0.28;
constexpr double kGlareMaxX = 0.40;
constexpr double kGlareMinY = -0.02;
constexpr double kGlareMaxY = 0.12;

// Two neighbours this far apart in depth straddle an edge, where camera 1 loses its reading.
// Well above the neighbour-to-neighbour change on slanted surfaces (about 10 mm at 2 m).
constexpr int kEdgeStepMinimumMm = 15;
constexpr double kEdgeStepFraction = 0.03;

constexpr double kAmbient = 0.3;
constexpr double kDiffuse = 0.7;

/// Where a camera is and how its pixels map to rays.
struct CameraView
{
  Eigen::Matrix3d camera_to_arm;
  Eigen::Vector3d centre;
  CameraIntrinsics intrinsics;
};

/// One camera's complete render.
struct RenderedView
{
  cv::Mat1w depth_mm;
  cv::Mat3b colour;
  cv::Mat1b surface;    ///< Surface of each pixel's hit
  cv::Mat1b on_glare;   ///< 1 where the hit lies on the glare patch of the table top
};

CameraView view_of_camera(const ExtrinsicTransform & extrinsic, const CameraIntrinsics & intrinsics)
{
  const Eigen::Matrix4d transform = extrinsic.cast<double>();
  return {transform.topLeftCorner<3, 3>(), transform.topRightCorner<3, 1>(), intrinsics};
}

/// Albedo in OpenCV's blue, green, red order, 0..1.
Eigen::Vector3d albedo_of(const RayHit & hit)
{
  const auto checker = [&hit](double size) {
      const auto cell_x = static_cast<std::int64_t>(std::floor(hit.point.x() / size));
      const auto cell_y = static_cast<std::int64_t>(std::floor(hit.point.y() / size));
      return ((cell_x + cell_y) & 1) == 0;
    };
  switch (hit.surface) {
    case Surface::kFloor:
      return checker(0.3) ? Eigen::Vector3d(0.52, 0.52, 0.5) : Eigen::Vector3d(0.4, 0.42, 0.42);
    case Surface::kTableTop:
      return checker(0.05) ? Eigen::Vector3d(0.45, 0.65, 0.85) : Eigen::Vector3d(0.3, 0.45, 0.62);
    case Surface::kTableFrame:
      return {0.25, 0.25, 0.27};
    case Surface::kRedBox:
      return {0.12, 0.12, 0.8};
    case Surface::kGreenBox:
      return {0.2, 0.65, 0.2};
    case Surface::kDarkBox:
      return {0.05, 0.05, 0.06};
    case Surface::kBlueCylinder:
      return {0.85, 0.42, 0.12};
    case Surface::kYellowSphere:
      return {0.1, 0.8, 0.92};
    case Surface::kNothing:
      break;
  }
  return {0.0, 0.0, 0.0};
}

cv::Vec3b shade(
  const TabletopScene & scene, const RayHit & hit,
  const Eigen::Vector3d & view_direction)
{
  const Eigen::Vector3d toward_light = Eigen::Vector3d(0.25, -0.35, 1.0).normalized();
  // Thin shells are seen from either side; shade the side that faces the camera.
  const Eigen::Vector3d normal = hit.normal.dot(view_direction) > 0.0 ? -hit.normal : hit.normal;
  const double facing = std::max(0.0, normal.dot(toward_light));
  const bool in_shadow = facing > 0.0 &&
    cast_ray(scene, {hit.point + 1e-6 * normal, toward_light}).has_value();
  const double light = kAmbient + (in_shadow ? 0.0 : kDiffuse * facing);
  const Eigen::Vector3d colour = 255.0 * light * albedo_of(hit);
  return {cv::saturate_cast<std::uint8_t>(colour.x()), cv::saturate_cast<std::uint8_t>(colour.y()),
    cv::saturate_cast<std::uint8_t>(colour.z())};
}

bool on_glare_patch(const RayHit & hit)
{
  return hit.surface == Surface::kTableTop && hit.normal.z() > 0.5 && hit.point.x() >= kGlareMinX &&
         hit.point.x() <= kGlareMaxX && hit.point.y() >= kGlareMinY && hit.point.y() <= kGlareMaxY;
}

RenderedView render_view(
  const TabletopScene & scene, const CameraView & view, int width,
  int height)
{
  RenderedView rendered{cv::Mat1w(height, width, std::uint16_t{0}), cv::Mat3b(
      height, width, cv::Vec3b(
        0, 0,
        0)),
    cv::Mat1b(height, width, std::uint8_t{0}), cv::Mat1b(height, width, std::uint8_t{0})};
  const CameraIntrinsics & k = view.intrinsics;
  for (int row = 0; row < height; ++row) {
    for (int column = 0; column < width; ++column) {
      // Unit z in the camera frame makes the ray parameter of a hit its camera-frame depth.
      const Eigen::Vector3d in_camera((column - static_cast<double>(k.cx)) / k.fx,
        (row - static_cast<double>(k.cy)) / k.fy, 1.0);
      const Ray ray{view.centre, view.camera_to_arm * in_camera};
      const std::optional<RayHit> hit = cast_ray(scene, ray);
      if (!hit) {
        continue;
      }
      const double millimetres = std::round(hit->t * 1000.0);
      if (millimetres <= 65535.0) {
        rendered.depth_mm(row, column) = static_cast<std::uint16_t>(millimetres);
      }
      rendered.colour(row, column) = shade(scene, *hit, ray.direction);
      rendered.surface(row, column) = static_cast<std::uint8_t>(hit->surface);
      rendered.on_glare(row, column) = on_glare_patch(*hit) ? 1 : 0;
    }
  }
  return rendered;
}

bool straddles_edge(std::uint16_t depth, std::uint16_t neighbour)
{
  if (depth == 0 || neighbour == 0) {
    return false;
  }
  const int step = std::abs(static_cast<int>(depth) - static_cast<int>(neighbour));
  return step > std::max(static_cast<double>(kEdgeStepMinimumMm), kEdgeStepFraction * depth);
}

/// Pixels on either side of a depth edge: a band two pixels wide along every edge.
cv::Mat1b depth_edge_band(const cv::Mat1w & depth)
{
  cv::Mat1b band(depth.size(), std::uint8_t{0});
  for (int row = 0; row < depth.rows; ++row) {
    for (int column = 0; column < depth.cols; ++column) {
      const std::uint16_t here = depth(row, column);
      if (column + 1 < depth.cols && straddles_edge(here, depth(row, column + 1))) {
        band(row, column) = 1;
        band(row, column + 1) = 1;
      }
      if (row + 1 < depth.rows && straddles_edge(here, depth(row + 1, column))) {
        band(row, column) = 1;
        band(row + 1, column) = 1;
      }
    }
  }
  return band;
}

/// Camera 1's measured depth: its complete render less what its sensor cannot see.
cv::Mat1w camera_1_measurement(const RenderedView & truth)
{
  const cv::Mat1b edges = depth_edge_band(truth.depth_mm);
  cv::Mat1w measured = truth.depth_mm.clone();
  for (int row = 0; row < measured.rows; ++row) {
    for (int column = 0; column < measured.cols; ++column) {
      const bool dark = truth.surface(row, column) == static_cast<std::uint8_t>(Surface::kDarkBox);
      const bool too_far = measured(row, column) > kSampleCamera1MaxRangeMm;
      if (dark || too_far || edges(row, column) != 0 || truth.on_glare(row, column) != 0) {
        measured(row, column) = 0;
      }
    }
  }
  return measured;
}

/// The glare camera 1 sees as a bright sheen over the table.
cv::Mat3b with_glare(const RenderedView & view)
{
  cv::Mat3b colour = view.colour.clone();
  for (int row = 0; row < colour.rows; ++row) {
    for (int column = 0; column < colour.cols; ++column) {
      if (view.on_glare(row, column) != 0) {
        cv::Vec3b & pixel = colour(row, column);
        for (int channel = 0; channel < 3; ++channel) {
          pixel[channel] = static_cast<std::uint8_t>((pixel[channel] + 3 * 250) / 4);
        }
      }
    }
  }
  return colour;
}

}  // namespace

SampleScene render_sample_scene(
  const CameraConfig & config, std::uint32_t width,
  std::uint32_t height)
{
  if (width == 0 || height == 0 || width > kLargestSide || height > kLargestSide) {
    throw std::invalid_argument(
            "sample scene size " + std::to_string(width) + " x " + std::to_string(height) +
            " is outside 1 x 1 .. " + std::to_string(kLargestSide) + " x " +
            std::to_string(kLargestSide));
  }
  const TabletopScene scene = make_tabletop_scene();
  const int columns = static_cast<int>(width);
  const int rows = static_cast<int>(height);
  const CameraView camera_1 = view_of_camera(config.extrinsic_1, config.intrinsics_1);
  const CameraView camera_2 = view_of_camera(config.extrinsic_2, config.intrinsics_2);
  const RenderedView view_1 = render_view(scene, camera_1, columns, rows);
  const RenderedView view_2 = render_view(scene, camera_2, columns, rows);

  SampleScene sample;
  sample.depth_1 = image_message_from(camera_1_measurement(view_1), "16UC1");
  sample.depth_2 = image_message_from(view_2.depth_mm, "16UC1");
  sample.truth_1 = image_message_from(view_1.depth_mm, "16UC1");
  sample.rgb_1 = image_message_from(with_glare(view_1), "bgr8");
  sample.rgb_2 = image_message_from(view_2.colour, "bgr8");
  return sample;
}

}  // namespace tavrinox_camera_convertor
