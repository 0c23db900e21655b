// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "tavrinox_camera_convertor/geometry/camera_model.hpp"

namespace tavrinox_camera_convertor
{

/**
 * @brief The undistorted ray of every pixel of a camera with a bending lens: pixel (u, v) with
 *        depth z back-projects to (x(u, v) * z, y(u, v) * z, z).
 *
 * Undistorting is iterative and costly, so the rays are computed once per camera model and
 * image size and then looked up; assign() with the same model and size does nothing.
 */
class PixelRays
{
public:
  /**
   * @brief Makes the rays of `model` for a `width` x `height` image, unless they are made already.
   * @throws FrameError when the model has no distortion (the pinhole arithmetic serves it) or the
   *         undistortion fails
   */
  void assign(const CameraModel & model, std::uint32_t width, std::uint32_t height);

  /// @brief Whether the rays are those of `model` at that size.
  bool holds(const CameraModel & model, std::uint32_t width, std::uint32_t height) const
  {
    return valid_ && model_ == model && width_ == width && height_ == height;
  }

  /// @brief Normalised x of the pixels of row `row`, width() of them.
  const float * x_row(std::uint32_t row) const {return x_.data() + std::size_t{row} *width_;}
  /// @brief Normalised y of the pixels of row `row`, width() of them.
  const float * y_row(std::uint32_t row) const {return y_.data() + std::size_t{row} *width_;}

  std::uint32_t width() const {return width_;}
  std::uint32_t height() const {return height_;}

private:
  bool valid_ = false;
  CameraModel model_;
  std::uint32_t width_ = 0;
  std::uint32_t height_ = 0;
  std::vector<float> x_;
  std::vector<float> y_;
};

}  // namespace tavrinox_camera_convertor
