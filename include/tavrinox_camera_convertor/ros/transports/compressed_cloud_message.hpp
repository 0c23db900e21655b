// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// Between the cloud codec's payloads and the messages a point_cloud_transport subtopic carries.
#pragma once

#include <pcl/PCLPointCloud2.h>

#include <cstdint>
#include <string>
#include <vector>

#include <point_cloud_interfaces/msg/compressed_point_cloud2.hpp>
#include <sensor_msgs/msg/point_cloud2.hpp>
#include <std_msgs/msg/header.hpp>

#include "tavrinox_camera_convertor/codec/cloud_decoder.hpp"

namespace tavrinox_camera_convertor
{

/// The transport's name: subtopics are `<cloud topic>/tavrinox_depth`.
inline constexpr const char * kDepthCloudTransport = "tavrinox_depth";
/// The depth images' transport of the same code, in image_transport subtopics and hints.
inline constexpr const char * kDepthImageTransport = "tavrinox_depth";

/**
 * @brief A transport message of `payload` (taken, leaving `payload` with the message's old
 *        buffer) for a cloud with `header` and the layout of `layout` (its data is not read).
 */
void fill_compressed_cloud(
  const std_msgs::msg::Header & header, const pcl::PCLPointCloud2 & layout,
  std::vector<std::uint8_t> & payload,
  point_cloud_interfaces::msg::CompressedPointCloud2 & message);

/// @brief The layout (all but header and data) that travelled in `message`.
pcl::PCLPointCloud2 layout_of(const point_cloud_interfaces::msg::CompressedPointCloud2 & message);

/// @brief The layout and data of `cloud`, as the codec takes it (copies the data).
pcl::PCLPointCloud2 to_codec_cloud(const sensor_msgs::msg::PointCloud2 & cloud);

/**
 * @brief The cloud `message` carries, bit for bit as it was published.
 * @throws CloudCodecError for a message of another format or a payload the decoder refuses
 */
void decode_compressed_cloud(
  const point_cloud_interfaces::msg::CompressedPointCloud2 & message, CloudDecoder & decoder,
  sensor_msgs::msg::PointCloud2 & cloud);

}  // namespace tavrinox_camera_convertor
