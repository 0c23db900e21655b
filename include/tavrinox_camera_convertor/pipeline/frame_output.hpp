// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include "tavrinox_camera_convertor/geometry/cloud_encoding.hpp"
#include "tavrinox_camera_convertor/geometry/cloud_source.hpp"
#include "tavrinox_camera_convertor/geometry/depth_pixels.hpp"
#include "tavrinox_camera_convertor/geometry/extrinsic_transform.hpp"
#include "tavrinox_camera_convertor/geometry/image.hpp"
#include "tavrinox_camera_convertor/pipeline/output_set.hpp"

namespace tavrinox_camera_convertor
{

/**
 * @brief Where one frame's five outputs go, in this order: camera-1 cloud, camera-2 cloud,
 *        completed depth image, colour image, converted cloud.
 *
 * Each message is the output's to consume during the call (it may copy it or take its
 * buffers); the pipeline rebuilds every field for the next frame. An exception thrown here
 * stops the frame: later outputs are not made. Only the outputs that wanted() names are made
 * and handed over.
 */
class FrameOutput
{
public:
  virtual ~FrameOutput() = default;

  /**
   * @brief The outputs someone listens to, asked once as a frame starts; work that none of
   *        them needs is skipped. By default every output.
   */
  virtual OutputSet wanted() const {return OutputSet::all();}

  /**
   * @brief Shows the depth images the frame's wanted clouds were made from, once a frame,
   *        after the clouds are made and before the first output is handed over: each cloud
   *        equals the back-projection of its image. Valid only during the call, so an output
   *        that sends clouds as depth images copies what it needs here. By default ignored.
   */
  virtual void note_cloud_sources(const CloudSources & sources) {(void)sources;}

  virtual void publish_cam1_cloud(CloudMessage & message) = 0;
  virtual void publish_cam2_cloud(CloudMessage & message) = 0;
  virtual void publish_depth_image(ImageMessage & message) = 0;
  virtual void publish_color_image(ImageMessage & message) = 0;
  virtual void publish_converted_cloud(CloudMessage & message) = 0;
};

/// Source of publication stamps.
class Clock
{
public:
  virtual ~Clock() = default;
  /// @brief The current time; called once per cloud and once for both images.
  virtual Stamp now() = 0;
};

/// @brief Wall-clock time (the system clock, never simulated time).
class SystemClock : public Clock
{
public:
  Stamp now() override;
};

/// Turns camera 1's colour image into "rgb8" pixels.
class ColorConverter
{
public:
  virtual ~ColorConverter() = default;
  /**
   * @brief Fills height, width, step and data of `out` with the "rgb8" pixels, packed rows.
   * @throws std::exception when the image cannot be converted
   */
  virtual void convert_to_rgb8(ImageMessage & out) const = 0;
};

}  // namespace tavrinox_camera_convertor
