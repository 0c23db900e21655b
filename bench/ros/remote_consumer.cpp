// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// The consumer on the other host of the two-host benchmark: it subscribes to the converter's
// outputs the way a consumer across a link would (the lossless subtopics, or the raw topics
// reliably or best effort), notes when each message arrived and how large it was, decodes it and
// writes the set it came from and a hash of its data, for the benchmark to compare with what
// the local consumer received raw. It stops, drains and reports when its stop file appears.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include <point_cloud_interfaces/msg/compressed_point_cloud2.hpp>
#include <rclcpp/rclcpp.hpp>
#include <rclcpp_components/register_node_macro.hpp>
#include <sensor_msgs/msg/compressed_image.hpp>
#include <sensor_msgs/msg/image.hpp>
#include <sensor_msgs/msg/point_cloud2.hpp>

#include "benchmark_config.hpp"
#include "clock_ns.hpp"
#include "decoding_queue.hpp"
#include "output_subscriptions.hpp"
#include "output_topics.hpp"
#include "process_usage.hpp"
#include "remote_decoding.hpp"
#include "remote_figures.hpp"
#include "tavrinox_camera_convertor/geometry/camera_config.hpp"
#include "tavrinox_camera_convertor/pipeline/output_set.hpp"
#include "tavrinox_camera_convertor/ros/transports/compressed_cloud_message.hpp"

namespace tavrinox_camera_convertor
{

/**
 * Parameter "mode": "lossless" takes the clouds from `<cloud topic>/tavrinox_depth`, the colour
 * image from `.../compressed` (PNG) and the depth image from `.../compressedDepth`;
 * "lossless_tavrinox" the same but the depth image from `.../tavrinox_depth`; "lossless_own" the
 * package's transports only: also the colour image from `.../tavrinox_color`;
 * "raw_reliable" and "raw_best_effort" take the five raw topics with that reliability.
 */
class RemoteConsumer : public rclcpp::Node
{
public:
  explicit RemoteConsumer(const rclcpp::NodeOptions & options)
  : rclcpp::Node("tavrinox_remote_consumer", options)
  {
    mode_ = declare_parameter<std::string>("mode", "lossless");
    outputs_csv_ = declare_parameter<std::string>("outputs_csv", "");
    report_path_ = declare_parameter<std::string>("report", "");
    stop_file_ = declare_parameter<std::string>("stop_file", "");
    // Decoding costs another host's processors; here they are the robot's, so it may wait for
    // the stop file. Messages beyond the limit are counted and dropped rather than decoded.
    defer_decoding_ = declare_parameter<bool>("defer_decoding", false);
    const std::size_t max_pending_bytes = static_cast<std::size_t>(
      std::max<std::int64_t>(1, declare_parameter<std::int64_t>("max_pending_mib", 1024))) << 20;
    config_ = load_benchmark_config(declare_parameter<std::string>("config", ""));
    queue_ = std::make_unique<DecodingQueue>(get_logger(), defer_decoding_, max_pending_bytes);
    if (mode_ == "lossless" || mode_ == "lossless_tavrinox" || mode_ == "lossless_own") {
      subscribe_lossless(
        mode_ == "lossless" ? "compressedDepth" : kDepthImageTransport,
        mode_ == "lossless_own" ? "tavrinox_color" : "compressed");
    } else if (mode_ == "raw_reliable" || mode_ == "raw_best_effort") {
      subscribe_raw(mode_ == "raw_reliable");
    } else {
      throw std::invalid_argument(
              "remote consumer: mode must be lossless, lossless_tavrinox, lossless_own, "
              "raw_reliable or raw_best_effort");
    }
    cpu_at_start_ = read_process_usage(getpid()).value_or(ProcessUsage{});
    if (!stop_file_.empty()) {
      stop_timer_ = create_wall_timer(
        std::chrono::milliseconds(200), [this] {
          if (access(stop_file_.c_str(), F_OK) == 0) {
            finish();
          }
        });
    }
    RCLCPP_INFO(get_logger(), "remote consumer: %s", mode_.c_str());
  }

private:
  using CompressedImage = sensor_msgs::msg::CompressedImage;
  using CompressedPointCloud2 = point_cloud_interfaces::msg::CompressedPointCloud2;
  using Image = sensor_msgs::msg::Image;
  using PointCloud2 = sensor_msgs::msg::PointCloud2;

  /// Keep-last 10: a message that arrives while the last one is still handed over waits.
  rclcpp::QoS qos(bool reliable) const
  {
    rclcpp::QoS qos(10);
    if (reliable) {
      qos.reliable();
    } else {
      qos.best_effort();
    }
    return qos;
  }

  void subscribe_lossless(const std::string & depth_transport, const std::string & color_transport)
  {
    for (const OutputKind kind :
      {OutputKind::cam1_cloud, OutputKind::cam2_cloud, OutputKind::converted_cloud})
    {
      const std::string topic =
        std::string(kOutputTopics[static_cast<std::size_t>(kind)]) + "/" + kDepthCloudTransport;
      subscriptions_.push_back(
        create_subscription<CompressedPointCloud2>(
          topic, qos(true), [this, kind](CompressedPointCloud2::UniquePtr message) {
            receive_cloud_subtopic(kind, std::move(message));
          }));
    }
    const auto depth = static_cast<std::size_t>(OutputKind::depth_image);
    subscriptions_.push_back(
      create_subscription<CompressedImage>(
        std::string(kOutputTopics[depth]) + "/" + depth_transport, qos(true),
        [this](CompressedImage::UniquePtr message) {
          receive_image_subtopic(OutputKind::depth_image, std::move(message));
        }));
    const auto color = static_cast<std::size_t>(OutputKind::color_image);
    subscriptions_.push_back(
      create_subscription<CompressedImage>(
        std::string(kOutputTopics[color]) + "/" + color_transport, qos(true),
        [this](CompressedImage::UniquePtr message) {
          receive_image_subtopic(OutputKind::color_image, std::move(message));
        }));
  }

  void subscribe_raw(bool reliable)
  {
    subscriptions_ = subscribe_outputs(
      *this, qos(reliable), nullptr,
      [this](OutputKind kind, Image::UniquePtr message) {
        receive_raw_image(kind, std::move(message));
      },
      [this](OutputKind kind, PointCloud2::UniquePtr message) {
        receive_raw_cloud(kind, std::move(message));
      });
  }

  // The arrival is noted as a message comes; decoding waits for the decoding thread.

  void receive_cloud_subtopic(OutputKind kind, CompressedPointCloud2::UniquePtr message)
  {
    const std::int64_t now = system_ns();
    std::shared_ptr<const CompressedPointCloud2> shared(std::move(message));
    queue_->enqueue(
      kind, stamp_ns(shared->header.stamp), now, shared->compressed_data.size(),
      [this, kind, shared](DecodeState & state) {
        return decode_cloud_subtopic(kind, *shared, state, config_);
      });
  }

  void receive_image_subtopic(OutputKind kind, CompressedImage::UniquePtr message)
  {
    const std::int64_t now = system_ns();
    std::shared_ptr<const CompressedImage> shared(std::move(message));
    queue_->enqueue(
      kind, stamp_ns(shared->header.stamp), now, shared->data.size(),
      [kind, shared](DecodeState & state) {
        return decode_image_subtopic(kind, *shared, state);
      });
  }

  void receive_raw_image(OutputKind kind, Image::UniquePtr message)
  {
    const std::int64_t now = system_ns();
    std::shared_ptr<const Image> shared(std::move(message));
    queue_->enqueue(
      kind, stamp_ns(shared->header.stamp), now, shared->data.size(),
      [kind, shared](DecodeState &) {
        return image_data(kind, shared->data.data(), shared->data.size());
      });
  }

  void receive_raw_cloud(OutputKind kind, PointCloud2::UniquePtr message)
  {
    const std::int64_t now = system_ns();
    std::shared_ptr<const PointCloud2> shared(std::move(message));
    queue_->enqueue(
      kind, stamp_ns(shared->header.stamp), now, shared->data.size(),
      [this, kind, shared](DecodeState &) {return cloud_data(kind, *shared, config_);});
  }

  /// No more messages; what came is decoded, written, and the process ends.
  void finish()
  {
    stop_timer_->cancel();
    subscriptions_.clear();
    queue_->stop();
    const ProcessUsage cpu_at_end = read_process_usage(getpid()).value_or(ProcessUsage{});
    std::ostringstream text;
    const std::size_t messages = queue_->report_messages(text);
    char line[256];
    std::snprintf(
      line, sizeof line,
      "remote_process mode=%s cpu_ms=%.0f cpu_ms_per_message=%.2f max_pending_mib=%.1f "
      "overflowed=%zu decoding=%s\n",
      mode_.c_str(), cpu_at_end.cpu_ms - cpu_at_start_.cpu_ms,
      messages > 0 ? (cpu_at_end.cpu_ms - cpu_at_start_.cpu_ms) / messages : 0.0,
      static_cast<double>(queue_->max_pending_bytes()) / (1 << 20), queue_->overflowed(),
      defer_decoding_ ? "after_stop" : "on_arrival");
    text << line;
    std::fputs(text.str().c_str(), stdout);
    std::fflush(stdout);
    if (!outputs_csv_.empty()) {
      std::ofstream csv(outputs_csv_);
      write_output_records(csv, queue_->records());
    }
    if (!report_path_.empty()) {
      std::ofstream(report_path_) << text.str();
    }
    rclcpp::shutdown(nullptr, "remote consumer done");
  }

  std::string mode_;
  std::string outputs_csv_;
  std::string report_path_;
  std::string stop_file_;
  bool defer_decoding_ = false;
  CameraConfig config_;
  ProcessUsage cpu_at_start_;
  std::unique_ptr<DecodingQueue> queue_;
  std::vector<rclcpp::SubscriptionBase::SharedPtr> subscriptions_;
  rclcpp::TimerBase::SharedPtr stop_timer_;
};

}  // namespace tavrinox_camera_convertor

RCLCPP_COMPONENTS_REGISTER_NODE(tavrinox_camera_convertor::RemoteConsumer)
