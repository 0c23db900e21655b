// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// The frame set a received output names in its data, read as the stand-in cameras wrote it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include <sensor_msgs/msg/point_cloud2.hpp>

#include "tavrinox_camera_convertor/geometry/camera_config.hpp"
#include "tavrinox_camera_convertor/pipeline/output_set.hpp"

namespace tavrinox_camera_convertor
{

/**
 * @brief The set named by the pixels of the depth or colour image output `kind` (`size` bytes
 *        of packed rows at `data`); none for an image too small to hold a tag, or a cloud kind.
 */
std::optional<std::uint32_t> image_output_set(
  OutputKind kind, const std::uint8_t * data, std::size_t size);

/**
 * @brief The set named by the first points of the cloud output `kind`, undoing the extrinsic of
 *        its camera in `config` (camera 2's for cam2_cloud, camera 1's otherwise).
 */
std::optional<std::uint32_t> cloud_output_set(
  OutputKind kind, const sensor_msgs::msg::PointCloud2 & cloud, const CameraConfig & config);

}  // namespace tavrinox_camera_convertor
