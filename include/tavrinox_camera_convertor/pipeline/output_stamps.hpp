// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include "tavrinox_camera_convertor/geometry/image.hpp"
#include "tavrinox_camera_convertor/pipeline/frame_output.hpp"
#include "tavrinox_camera_convertor/pipeline/output_set.hpp"

namespace tavrinox_camera_convertor
{

/// How a frame's outputs are stamped; asked in publication order, only for wanted outputs.
class OutputStamps
{
public:
  virtual ~OutputStamps() = default;
  /// @brief The stamp of the cloud of `kind` (cam1_cloud, cam2_cloud or converted_cloud).
  virtual Stamp cloud(OutputKind kind) = 0;
  /// @brief The stamps of the completed depth image and of the colour image, asked once.
  virtual void images(Stamp & depth_image, Stamp & color_image) = 0;
};

/// Stamps read from a clock when each output is made; both images share one reading.
class ClockStamps : public OutputStamps
{
public:
  explicit ClockStamps(Clock & clock)
  : clock_(clock) {}

  Stamp cloud(OutputKind) override {return clock_.now();}
  void images(Stamp & depth_image, Stamp & color_image) override
  {
    depth_image = clock_.now();
    color_image = depth_image;
  }

private:
  Clock & clock_;
};

/**
 * @brief Each output stamped with the image it was made from: depth 1's for camera 1's cloud,
 *        the completed image and the converted cloud, depth 2's for camera 2's cloud, colour
 *        1's for the colour image.
 */
class AcquisitionStamps : public OutputStamps
{
public:
  AcquisitionStamps(Stamp depth_1, Stamp depth_2, Stamp color_1)
  : depth_1_(depth_1), depth_2_(depth_2), color_1_(color_1) {}

  Stamp cloud(OutputKind kind) override
  {
    return kind == OutputKind::cam2_cloud ? depth_2_ : depth_1_;
  }
  void images(Stamp & depth_image, Stamp & color_image) override
  {
    depth_image = depth_1_;
    color_image = color_1_;
  }

private:
  Stamp depth_1_;
  Stamp depth_2_;
  Stamp color_1_;
};

}  // namespace tavrinox_camera_convertor
