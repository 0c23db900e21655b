// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// The sample tabletop as real cameras would deliver it, for the codec benchmarks: a ray-cast
// scene is too clean to measure a lossless code on, since its flat surfaces compress to almost
// nothing while a sensor's never do.
#pragma once

#include <cstdint>

#include "tavrinox_camera_convertor/geometry/camera_config.hpp"
#include "tavrinox_camera_convertor/geometry/image.hpp"

namespace tavrinox_camera_convertor::bench
{

/// Camera 1's images of one frame of the tabletop, and the camera that back-projects its depth.
struct CameraLikeFrame
{
  /// "16UC1" millimetres as a stereo depth camera measures them (see camera_like_frame())
  ImageMessage depth;
  /// "bgr8" as a colour camera delivers it (see camera_like_frame())
  ImageMessage colour;
  /// "bgr8" as ray-cast, before the camera's blur and noise: flat colours, like a stand-in's
  ImageMessage rendered_colour;
  CameraIntrinsics intrinsics;
  ExtrinsicTransform extrinsic;
};

/**
 * @brief Renders the sample tabletop into camera 1 of `config` (its 640 x 480 intrinsics scaled
 *        to `width` x `height`) and adds what real sensors add.
 *
 * Depth, as a stereo camera with a 50 mm baseline measures it: each pixel's disparity moved by
 * Gaussian noise of 0.08 pixel that neighbouring pixels share (the matching window's), then
 * rounded to 1/32 of a pixel (the matcher's subpixel step) and turned back into millimetres;
 * camera 1's gaps (edges, the dark box, the glare, beyond its range) stay 0. Colour, blurred by
 * the optics and the demosaicing (Gaussian, 0.7 pixel), with read noise of 2 levels and shot
 * noise whose variance is a tenth of the level. Same arguments, same images.
 * @throws std::invalid_argument for a size render_sample_scene() refuses
 */
CameraLikeFrame camera_like_frame(
  const CameraConfig & config, std::uint32_t width, std::uint32_t height);

}  // namespace tavrinox_camera_convertor::bench
