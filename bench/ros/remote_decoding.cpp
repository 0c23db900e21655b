// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "remote_decoding.hpp"

#include <stdexcept>
#include <string>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "data_hash.hpp"
#include "output_tags.hpp"
#include "tavrinox_camera_convertor/ros/transports/compressed_cloud_message.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

/// compressed_depth_image_transport's header before the PNG: a format and two floats.
constexpr std::size_t kCompressedDepthHeaderBytes = 12;

}  // namespace

Decoded image_data(OutputKind kind, const std::uint8_t * data, std::size_t size)
{
  Decoded decoded;
  decoded.hash = hash_bytes(data, size);
  decoded.set = image_output_set(kind, data, size);
  return decoded;
}

Decoded cloud_data(
  OutputKind kind, const sensor_msgs::msg::PointCloud2 & cloud, const CameraConfig & config)
{
  Decoded decoded;
  decoded.hash = hash_bytes(cloud.data.data(), cloud.data.size());
  decoded.set = cloud_output_set(kind, cloud, config);
  return decoded;
}

Decoded decode_cloud_subtopic(
  OutputKind kind, const point_cloud_interfaces::msg::CompressedPointCloud2 & message,
  DecodeState & state, const CameraConfig & config)
{
  decode_compressed_cloud(message, state.clouds, state.cloud);
  return cloud_data(kind, state.cloud, config);
}

Decoded decode_image_subtopic(
  OutputKind kind, const sensor_msgs::msg::CompressedImage & message, DecodeState & state)
{
  if (message.format == std::string("16UC1; ") + kDepthImageTransport) {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    state.depth.decode(message.data.data(), message.data.size(), width, height, state.millimetres);
    return image_data(
      kind, reinterpret_cast<const std::uint8_t *>(state.millimetres.data()),
      2 * state.millimetres.size());
  }
  if (message.format.size() > 16 &&
    message.format.compare(message.format.size() - 16, 16, "; tavrinox_color") == 0)
  {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    state.color.decode(message.data.data(), message.data.size(), width, height, state.pixels);
    return image_data(kind, state.pixels.data(), state.pixels.size());
  }
  // compressedDepth puts its header before the PNG; compressed PNGs hold BGR pixels.
  const std::size_t skip = kind == OutputKind::depth_image ? kCompressedDepthHeaderBytes : 0;
  if (message.data.size() <= skip) {
    throw std::runtime_error("an empty compressed image");
  }
  const cv::Mat encoded(
    1, static_cast<int>(message.data.size() - skip), CV_8UC1,
    const_cast<std::uint8_t *>(message.data.data() + skip));
  cv::Mat image = cv::imdecode(encoded, cv::IMREAD_UNCHANGED);
  if (image.empty()) {
    throw std::runtime_error("a compressed image that does not decode");
  }
  if (kind == OutputKind::color_image) {
    cv::cvtColor(image, state.rgb, cv::COLOR_BGR2RGB);
    image = state.rgb;
  }
  if (!image.isContinuous()) {
    image = image.clone();
  }
  return image_data(kind, image.data, image.total() * image.elemSize());
}

}  // namespace tavrinox_camera_convertor
