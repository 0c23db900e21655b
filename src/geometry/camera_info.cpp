// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "tavrinox_camera_convertor/geometry/camera_info.hpp"

#include <cmath>

#include "tavrinox_camera_convertor/geometry/frame_error.hpp"

namespace tavrinox_camera_convertor
{

PinholeCameraInfo pinhole_camera_info(
  const CameraIntrinsics & intrinsics, std::uint32_t width, std::uint32_t height)
{
  // Floats widen to doubles exactly, so a consumer reading the double back as a float gets
  // the converter's own value.
  const double fx = intrinsics.fx;
  const double fy = intrinsics.fy;
  const double cx = intrinsics.cx;
  const double cy = intrinsics.cy;
  PinholeCameraInfo info;
  info.width = width;
  info.height = height;
  info.distortion_model = "plumb_bob";
  info.d.assign(5, 0.0);
  info.k = {fx, 0.0, cx, 0.0, fy, cy, 0.0, 0.0, 1.0};
  info.r = {1.0, 0.0, 0.0, 0.0, 1.0, 0.0, 0.0, 0.0, 1.0};
  info.p = {fx, 0.0, cx, 0.0, 0.0, fy, cy, 0.0, 0.0, 0.0, 1.0, 0.0};
  return info;
}

CameraModel camera_model_from_info(
  const PinholeCameraInfo & info, std::uint32_t width, std::uint32_t height,
  std::string_view camera)
{
  const std::string where = std::string(camera) + " camera info: ";
  if (info.width != width || info.height != height) {
    throw FrameError(
            where + "size " + std::to_string(info.width) + " x " + std::to_string(info.height) +
            " differs from the depth image's " + std::to_string(width) + " x " +
            std::to_string(height));
  }
  if (info.binning_x > 1 || info.binning_y > 1) {
    throw FrameError(where + "binning_x/binning_y above 1 is not supported");
  }
  const bool whole_image = info.roi[2] == 0 || info.roi[3] == 0 ||
    (info.roi[0] == 0 && info.roi[1] == 0 && info.roi[2] == height && info.roi[3] == width);
  if (!whole_image) {
    throw FrameError(where + "a region of interest (roi) is not supported");
  }
  const auto & k = info.k;
  for (const auto & [index, name] :
    {std::pair<int, const char *>{0, "K[0] (fx)"}, std::pair<int, const char *>{4, "K[4] (fy)"}})
  {
    if (!std::isfinite(k[index]) || !(k[index] > 0.0)) {
      throw FrameError(
              where + name + " must be a positive number, not " +
              std::to_string(k[index]));
    }
  }
  if (!std::isfinite(k[2]) || !std::isfinite(k[5])) {
    throw FrameError(where + "K[2], K[5] (cx, cy) must be finite");
  }
  if (k[1] != 0.0 || k[3] != 0.0 || k[6] != 0.0 || k[7] != 0.0 || k[8] != 1.0) {
    throw FrameError(where + "K is not a camera matrix without skew (0 0 1 in its last row)");
  }
  CameraModel model;
  model.intrinsics = {
    static_cast<float>(k[0]), static_cast<float>(k[4]), static_cast<float>(k[2]),
    static_cast<float>(k[5])};
  if (!(model.intrinsics.fx > 0.0f) || !(model.intrinsics.fy > 0.0f) ||
    !std::isfinite(model.intrinsics.fx) || !std::isfinite(model.intrinsics.fy))
  {
    throw FrameError(where + "K's focal lengths do not fit a float");
  }
  model.distortion =
    distortion_from_camera_info(info.distortion_model, info.d.data(), info.d.size(), camera);
  return model;
}

}  // namespace tavrinox_camera_convertor
