// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include "tavrinox_camera_convertor/geometry/image.hpp"
#include "tavrinox_camera_convertor/pipeline/frame_output.hpp"

namespace tavrinox_camera_convertor
{

/**
 * @brief Converts an 8-bit colour or grey image ("rgb8", "bgr8", "rgba8", "bgra8", "mono8")
 *        to packed "rgb8".
 * @throws FrameError for any other encoding or a buffer too short for its rows
 */
void convert_image_to_rgb8(const ImageView & image, ImageMessage & out);

/// A ColorConverter over an image view, for callers without an image bridge.
class ImageViewColorConverter : public ColorConverter
{
public:
  explicit ImageViewColorConverter(const ImageView & image)
  : image_(image) {}
  void convert_to_rgb8(ImageMessage & out) const override {convert_image_to_rgb8(image_, out);}

private:
  ImageView image_;
};

}  // namespace tavrinox_camera_convertor
