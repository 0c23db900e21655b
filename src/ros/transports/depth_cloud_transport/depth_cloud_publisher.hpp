// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include <point_cloud_interfaces/msg/compressed_point_cloud2.hpp>
#include <point_cloud_transport/simple_publisher_plugin.hpp>

#include "tavrinox_camera_convertor/codec/cloud_encoder.hpp"

namespace tavrinox_camera_convertor
{

/**
 * @brief The "tavrinox_depth" transport's publisher for clouds it knows nothing about: their
 *        data, losslessly compressed beside their layout.
 *
 * The converter node sends its own clouds on this transport as the depth images they were made
 * from, far smaller; any other publisher (a republish node, say) still sends every cloud
 * exactly, so a subscriber of the transport never has to care who published.
 */
class DepthCloudPublisher
  : public point_cloud_transport::SimplePublisherPlugin<
    point_cloud_interfaces::msg::CompressedPointCloud2>
{
public:
  std::string getTransportName() const override;
  std::string getDataType() const override;
  void declareParameters(const std::string & base_topic) override;
  TypedEncodeResult encodeTyped(const sensor_msgs::msg::PointCloud2 & raw) const override;

private:
  mutable std::mutex mutex_;  ///< encodeTyped is const and may be called from any thread
  mutable CloudEncoder encoder_;
  mutable std::vector<std::uint8_t> payload_;
};

}  // namespace tavrinox_camera_convertor
