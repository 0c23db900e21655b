// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include <string_view>

#include "tavrinox_camera_convertor/geometry/camera_intrinsics.hpp"
#include "tavrinox_camera_convertor/geometry/extrinsic_transform.hpp"

namespace tavrinox_camera_convertor::detail
{

/**
 * @brief Refuses a camera whose back-projection is no cloud anyone should receive: a NaN,
 *        infinite or zero focal length, a non-finite principal point or extrinsic entry, or an
 *        extrinsic whose bottom row is not 0 0 0 1.
 * @param context starts the error text, for example "depth payload"
 * @throws CloudCodecError naming the value
 */
void require_codable_camera(
  const CameraIntrinsics & intrinsics, const ExtrinsicTransform & extrinsic,
  std::string_view context);

}  // namespace tavrinox_camera_convertor::detail
