// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "tavrinox_camera_convertor/geometry/pixel_rays.hpp"

#include <string>

#include <opencv2/calib3d.hpp>
#include <opencv2/core.hpp>

#include "tavrinox_camera_convertor/geometry/frame_error.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

// OpenCV's default stops after five iterations, which leaves wide-angle corners pixels off;
// these stop once the ray projects back within a millionth of a pixel.
const cv::TermCriteria kUndistortUntil(
  cv::TermCriteria::COUNT + cv::TermCriteria::EPS, 100, 1e-6);

}  // namespace

void PixelRays::assign(const CameraModel & model, std::uint32_t width, std::uint32_t height)
{
  if (holds(model, width, height)) {
    return;
  }
  if (!model.distortion.bends()) {
    throw FrameError("pixel rays are only made for a camera whose lens bends the rays");
  }
  valid_ = false;
  const std::size_t count = std::size_t{width} *height;
  cv::Mat pixels(static_cast<int>(count), 1, CV_64FC2);
  auto * uv = pixels.ptr<cv::Vec2d>();
  for (std::uint32_t v = 0; v < height; ++v) {
    for (std::uint32_t u = 0; u < width; ++u) {
      uv[std::size_t{v} *width + u] = cv::Vec2d(u, v);
    }
  }
  const cv::Matx33d k(
    model.intrinsics.fx, 0.0, model.intrinsics.cx,
    0.0, model.intrinsics.fy, model.intrinsics.cy,
    0.0, 0.0, 1.0);
  const std::size_t used = coefficient_count(model.distortion.model);
  const cv::Mat d(
    1, static_cast<int>(used), CV_64F, const_cast<double *>(model.distortion.coefficients.data()));
  cv::Mat rays;
  try {
    if (model.distortion.model == DistortionModel::equidistant) {
      cv::fisheye::undistortPoints(
        pixels, rays, k, d, cv::noArray(), cv::noArray(), kUndistortUntil);
    } else {
      cv::undistortPoints(pixels, rays, k, d, cv::noArray(), cv::noArray(), kUndistortUntil);
    }
  } catch (const cv::Exception & error) {
    throw FrameError(std::string("cannot undistort the camera's pixels: ") + error.what());
  }
  x_.resize(count);
  y_.resize(count);
  const auto * ray = rays.ptr<cv::Vec2d>();
  for (std::size_t i = 0; i < count; ++i) {
    x_[i] = static_cast<float>(ray[i][0]);
    y_[i] = static_cast<float>(ray[i][1]);
  }
  model_ = model;
  width_ = width;
  height_ = height;
  valid_ = true;
}

}  // namespace tavrinox_camera_convertor
