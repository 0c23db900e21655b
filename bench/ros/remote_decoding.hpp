// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// The remote consumer's decoding of each output as a consumer on another host decodes it, down
// to the set its data names and a hash of that data, for comparison with the raw output.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include <opencv2/core.hpp>
#include <point_cloud_interfaces/msg/compressed_point_cloud2.hpp>
#include <sensor_msgs/msg/compressed_image.hpp>
#include <sensor_msgs/msg/point_cloud2.hpp>

#include "tavrinox_camera_convertor/codec/cloud_decoder.hpp"
#include "tavrinox_camera_convertor/codec/color_image_codec.hpp"
#include "tavrinox_camera_convertor/codec/depth_image_codec.hpp"
#include "tavrinox_camera_convertor/geometry/camera_config.hpp"
#include "tavrinox_camera_convertor/pipeline/output_set.hpp"

namespace tavrinox_camera_convertor
{

/// The set an output's data says it came from, and the hash of that data.
struct Decoded
{
  std::optional<std::uint32_t> set;
  std::uint64_t hash = 0;
};

/// What the decoding thread keeps from message to message.
struct DecodeState
{
  CloudDecoder clouds;
  sensor_msgs::msg::PointCloud2 cloud;
  cv::Mat rgb;
  DepthImageDecoder depth;
  std::vector<std::uint16_t> millimetres;
  ColorImageDecoder color;
  std::vector<std::uint8_t> pixels;
};

/// @brief The set and hash of an image's pixels, `size` bytes of packed rows at `data`.
Decoded image_data(OutputKind kind, const std::uint8_t * data, std::size_t size);

/// @brief The set and hash of a cloud, its camera's extrinsic taken from `config`.
Decoded cloud_data(
  OutputKind kind, const sensor_msgs::msg::PointCloud2 & cloud, const CameraConfig & config);

/// @brief A cloud from its lossless subtopic, decoded into `state.cloud`.
Decoded decode_cloud_subtopic(
  OutputKind kind, const point_cloud_interfaces::msg::CompressedPointCloud2 & message,
  DecodeState & state, const CameraConfig & config);

/**
 * @brief An image from its lossless subtopic: the depth image from tavrinox_depth or
 *        compressedDepth, the colour image from PNG.
 * @throws std::runtime_error when the message holds no image it can decode
 */
Decoded decode_image_subtopic(
  OutputKind kind, const sensor_msgs::msg::CompressedImage & message, DecodeState & state);

}  // namespace tavrinox_camera_convertor
