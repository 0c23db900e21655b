// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "tavrinox_camera_convertor/ros/transports/compressed_cloud_message.hpp"

#include <pcl_conversions/pcl_conversions.h>

#include <utility>

#include "tavrinox_camera_convertor/codec/cloud_codec_error.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

template<typename From, typename To>
void copy_layout(const From & from, To & to)
{
  to.height = from.height;
  to.width = from.width;
  to.is_bigendian = from.is_bigendian;
  to.point_step = from.point_step;
  to.row_step = from.row_step;
  to.is_dense = from.is_dense;
}

}  // namespace

void fill_compressed_cloud(
  const std_msgs::msg::Header & header, const pcl::PCLPointCloud2 & layout,
  std::vector<std::uint8_t> & payload,
  point_cloud_interfaces::msg::CompressedPointCloud2 & message)
{
  message.header = header;
  copy_layout(layout, message);
  message.fields.resize(layout.fields.size());
  for (std::size_t k = 0; k < layout.fields.size(); ++k) {
    message.fields[k].name = layout.fields[k].name;
    message.fields[k].offset = layout.fields[k].offset;
    message.fields[k].datatype = layout.fields[k].datatype;
    message.fields[k].count = layout.fields[k].count;
  }
  message.compressed_data.swap(payload);
  message.format = kDepthCloudTransport;
}

pcl::PCLPointCloud2 layout_of(const point_cloud_interfaces::msg::CompressedPointCloud2 & message)
{
  pcl::PCLPointCloud2 layout;
  copy_layout(message, layout);
  layout.fields.resize(message.fields.size());
  for (std::size_t k = 0; k < message.fields.size(); ++k) {
    layout.fields[k].name = message.fields[k].name;
    layout.fields[k].offset = message.fields[k].offset;
    layout.fields[k].datatype = message.fields[k].datatype;
    layout.fields[k].count = message.fields[k].count;
  }
  return layout;
}

pcl::PCLPointCloud2 to_codec_cloud(const sensor_msgs::msg::PointCloud2 & cloud)
{
  pcl::PCLPointCloud2 converted;
  pcl_conversions::toPCL(cloud, converted);
  return converted;
}

void decode_compressed_cloud(
  const point_cloud_interfaces::msg::CompressedPointCloud2 & message, CloudDecoder & decoder,
  sensor_msgs::msg::PointCloud2 & cloud)
{
  if (message.format != kDepthCloudTransport) {
    throw CloudCodecError(
            "the message's format is \"" + message.format + "\", not \"" +
            kDepthCloudTransport + "\"");
  }
  pcl::PCLPointCloud2 decoded;
  decoder.decode(message.compressed_data, layout_of(message), decoded);
  pcl_conversions::moveFromPCL(decoded, cloud);
  cloud.header = message.header;
}

}  // namespace tavrinox_camera_convertor
