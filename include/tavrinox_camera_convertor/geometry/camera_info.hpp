// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "tavrinox_camera_convertor/geometry/camera_intrinsics.hpp"

namespace tavrinox_camera_convertor
{

/// The calibration fields of a sensor_msgs/CameraInfo, laid out as that message has them.
struct PinholeCameraInfo
{
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::string distortion_model;
  std::array<double, 5> d{};   ///< distortion coefficients
  std::array<double, 9> k{};   ///< intrinsic matrix, row-major
  std::array<double, 9> r{};   ///< rectification rotation, row-major
  std::array<double, 12> p{};  ///< projection matrix, row-major
};

/**
 * @brief The camera info of a `width` x `height` image taken through `intrinsics` without
 *        distortion: "plumb_bob" with zero coefficients, identity rectification, and a
 *        projection that equals the intrinsic matrix, so image_geometry's pinhole model
 *        back-projects each pixel through the very intrinsics the converter uses.
 */
PinholeCameraInfo pinhole_camera_info(
  const CameraIntrinsics & intrinsics, std::uint32_t width, std::uint32_t height);

}  // namespace tavrinox_camera_convertor
