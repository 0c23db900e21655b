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
#include <sensor_msgs/msg/compressed_image.hpp>

#include "tavrinox_camera_convertor/codec/cloud_encoder.hpp"
#include "tavrinox_camera_convertor/codec/compressed_depth.hpp"
#include "tavrinox_camera_convertor/codec/shared_depth_code.hpp"
#include "tavrinox_camera_convertor/concurrency/latest_frame_runner.hpp"
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
  std::uint64_t replaced = 0;     ///< frames skipped whole: a newer one came before they started
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
 * encoding runs on threads of their own, a frame at a time: a frame that cannot start before
 * the next one comes is skipped whole, so a slow encoder or a slow link to a consumer of a
 * subtopic costs the subtopics whole frames, never the raw topics or the frame after, and a
 * consumer of several subtopics gets all of a frame's or none. Each distinct depth image is
 * compressed once a frame however many subtopics carry it (the completed image goes out as the
 * depth image's and the converted cloud's `tavrinox_depth`). A subtopic without a subscriber
 * costs nothing.
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

  /**
   * @brief Begins a frame's subtopics: keeps a copy of each cloud's source whose depth subtopic
   *        has a subscriber. Called once a frame, before its outputs.
   */
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
  struct Counters
  {
    std::atomic<std::uint64_t> messages{0};
    std::atomic<std::uint64_t> busy_ns{0};
    std::atomic<std::uint64_t> failed{0};
  };
  /// The images of a frame whose depth subtopics listen: depth 1, depth 2, the completed image.
  using FrameCodes = std::array<std::shared_ptr<SharedDepthCode>, 3>;

  static std::size_t cloud_index(OutputKind kind);
  bool depth_listened(std::size_t cloud) const;
  /**
   * @brief Sends one frame's cloud on its subtopics; runs on the runner's threads.
   * @param code the image the depth subtopic carries, if it listens; else `as_points` when it
   *        gets the cloud's points (`layout` then holds them)
   * @param points the cloud for the other subtopics, if any listens
   */
  void run_cloud_job(
    std::size_t cloud, const std_msgs::msg::Header & header, const pcl::PCLPointCloud2 & layout,
    const std::shared_ptr<SharedDepthCode> & code, bool as_points,
    const std::shared_ptr<const sensor_msgs::msg::PointCloud2> & points);
  /// @brief Sends the completed depth image as its own tavrinox_depth payload.
  void send_depth_payload(
    const std_msgs::msg::Header & header, const std::string & encoding, SharedDepthCode & code);
  /// @brief Counts a subtopic job of `kind` that took from `started_ns` until now.
  void count(OutputKind kind, std::int64_t started_ns);

  rclcpp::Logger logger_;
  point_cloud_transport::PointCloudTransportLoader cloud_loader_;
  std::array<image_transport::Publisher, 2> images_;   ///< depth image, colour image
  std::array<point_cloud_transport::Publisher, 3> clouds_;  ///< cam1, cam2, converted
  std::array<rclcpp::Publisher<point_cloud_interfaces::msg::CompressedPointCloud2>::SharedPtr, 3>
  depth_clouds_;
  /// the depth image's tavrinox_depth subtopic, published here so its code is shared
  rclcpp::Publisher<sensor_msgs::msg::CompressedImage>::SharedPtr depth_image_payloads_;
  FrameCodes codes_;  ///< the frame being made; the runner's jobs hold their own references
  /// A cloud whose lens bends rays goes on its depth subtopic as its points.
  std::array<bool, 3> points_as_data_{};
  std::array<DepthCompressor, 5> compressors_;  ///< one per output: one of its jobs at a time
  std::array<std::vector<std::uint8_t>, 5> payloads_;  ///< likewise
  std::array<CloudEncoder, 3> encoders_;  ///< for clouds that travel as their points
  std::array<Counters, 5> counters_;
  std::vector<std::uint16_t> scratch_;  ///< for depth images whose rows must be unpacked
  LatestFrameRunner runner_;  ///< last: stops before anything its jobs use goes
};

}  // namespace tavrinox_camera_convertor
