// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tavrinox_camera_convertor/geometry/camera_intrinsics.hpp"
#include "tavrinox_camera_convertor/geometry/camera_model.hpp"

namespace tavrinox_camera_convertor
{

/// The calibration fields of a sensor_msgs/CameraInfo, laid out as that message has them.
struct PinholeCameraInfo
{
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::string distortion_model;
  std::vector<double> d;       ///< distortion coefficients
  std::array<double, 9> k{};   ///< intrinsic matrix, row-major
  std::array<double, 9> r{};   ///< rectification rotation, row-major
  std::array<double, 12> p{};  ///< projection matrix, row-major
  std::uint32_t binning_x = 0;
  std::uint32_t binning_y = 0;
  /// region of interest: x and y offset, height, width; all zero for the whole image
  std::array<std::uint32_t, 4> roi{};
};

/**
 * @brief The camera info of a `width` x `height` image taken through `intrinsics` without
 *        distortion: "plumb_bob" with zero coefficients, identity rectification, and a
 *        projection that equals the intrinsic matrix, so image_geometry's pinhole model
 *        back-projects each pixel through the very intrinsics the converter uses.
 */
PinholeCameraInfo pinhole_camera_info(
  const CameraIntrinsics & intrinsics, std::uint32_t width, std::uint32_t height);

/**
 * @brief The camera model a driver's camera info gives for its `width` x `height` depth images:
 *        the focal lengths and principal point of K, and the lens of distortion_model and D.
 * @param camera names the camera in the error text, for example "camera 1"
 * @throws FrameError naming the camera and the field when the info cannot describe these
 *         images: a focal length that is zero, negative or not finite, a principal point that is
 *         not finite, a K that is not a camera matrix, an unknown distortion model or a D of the
 *         wrong length, another image size, binning or a region of interest
 */
CameraModel camera_model_from_info(
  const PinholeCameraInfo & info, std::uint32_t width, std::uint32_t height,
  std::string_view camera);
}  // namespace tavrinox_camera_convertor
