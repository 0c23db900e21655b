// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <image_transport/image_transport.hpp>
#include <point_cloud_interfaces/msg/compressed_point_cloud2.hpp>
#include <point_cloud_transport/point_cloud_transport.hpp>
#include <rclcpp/rclcpp.hpp>

#include "tavrinox_camera_convertor/codec/cloud_encoder.hpp"
#include "tavrinox_camera_convertor/codec/depth_source_copy.hpp"
#include "tavrinox_camera_convertor/concurrency/latest_job_runner.hpp"
#include "tavrinox_camera_convertor/geometry/cloud_encoding.hpp"
#include "tavrinox_camera_convertor/geometry/image.hpp"
#include "tavrinox_camera_convertor/pipeline/frame_output.hpp"
#include "tavrinox_camera_convertor/pipeline/output_set.hpp"

namespace tavrinox_camera_convertor
{

/// What one output's transports have done since the node started.
struct TransportCounts
{
  std::uint64_t messages = 0;     ///< frames sent on the output's transport subtopics
  std::uint64_t busy_ns = 0;      ///< time spent encoding and sending them
  std::uint64_t replaced = 0;     ///< frames that never went out: a newer one came first
  std::uint64_t failed = 0;       ///< frames an encoder refused
};

/**
 * @brief The outputs' compressed subtopics beside the raw topics: every installed
 *        image_transport plugin for both images and every point_cloud_transport plugin for the
 *        three clouds, plus the clouds as the depth images they were made from
 *        (`<cloud topic>/tavrinox_depth`).
 *
 * The raw topics stay the node's own publishers, which hand in-process subscribers the
 * pipeline's buffers without a copy; the transports' raw plugins are therefore left out. All
 * encoding runs on threads of their own that keep only each output's latest frame, so a slow
 * encoder or a slow link to a consumer of a subtopic costs that subtopic frames, never the
 * raw topics or the frame after. A subtopic without a subscriber costs nothing.
 */
class TransportPublishers
{
public:
  /// @brief Advertises the subtopics of the node's five outputs, with the raw topics' QoS.
  explicit TransportPublishers(rclcpp::Node & node);
  ~TransportPublishers();

  TransportPublishers(const TransportPublishers &) = delete;
  TransportPublishers & operator=(const TransportPublishers &) = delete;

  /// @brief The outputs with a subscriber on any of their subtopics.
  OutputSet listened() const;

  /// @brief Keeps a copy of each cloud's source whose depth subtopic has a subscriber.
  void note_cloud_sources(const CloudSources & sources);

  /// @brief Hands a cloud to its subtopics; returns at once. Call before the raw publication,
  ///        which may take the message's buffer.
  void send_cloud(OutputKind kind, const CloudMessage & message);

  /// @brief Hands an image to its subtopics; returns at once, as send_cloud().
  void send_image(OutputKind kind, const ImageMessage & message);

  /// @brief What each output's transports have done, in OutputKind order.
  std::array<TransportCounts, 5> counts() const;

  /// @brief Waits until every frame handed over has been sent or replaced.
  void wait_until_idle();

private:
  struct CloudJob;
  struct Counters
  {
    std::atomic<std::uint64_t> messages{0};
    std::atomic<std::uint64_t> busy_ns{0};
    std::atomic<std::uint64_t> failed{0};
  };

  static std::size_t cloud_index(OutputKind kind);
  bool depth_listened(std::size_t cloud) const;
  void run_cloud_job(std::size_t cloud, CloudJob & job);

  rclcpp::Logger logger_;
  point_cloud_transport::PointCloudTransportLoader cloud_loader_;
  std::array<image_transport::Publisher, 2> images_;   ///< depth image, colour image
  std::array<point_cloud_transport::Publisher, 3> clouds_;  ///< cam1, cam2, converted
  std::array<rclcpp::Publisher<point_cloud_interfaces::msg::CompressedPointCloud2>::SharedPtr, 3>
  depth_clouds_;
  std::array<std::unique_ptr<CloudJob>, 3> pending_;  ///< sources copied, waiting for the cloud
  std::array<CloudEncoder, 3> encoders_;              ///< the runner's alone
  std::array<std::vector<std::uint8_t>, 3> payloads_;  ///< the runner's alone
  std::array<Counters, 5> counters_;
  LatestJobRunner runner_;  ///< last: stops before anything its jobs use goes
};

}  // namespace tavrinox_camera_convertor
