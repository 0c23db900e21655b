// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// The consumer on the other host of the two-host benchmark: it subscribes to the converter's
// outputs the way a consumer across a link would (the lossless subtopics, or the raw topics
// reliably or best effort), notes when each message arrived and how large it was, decodes it and
// writes the set it came from and a hash of its data, for the benchmark to compare with what
// the local consumer received raw. It stops, drains and reports when its stop file appears.
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <deque>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include <ament_index_cpp/get_package_share_directory.hpp>
#include <point_cloud_interfaces/msg/compressed_point_cloud2.hpp>
#include <rclcpp/rclcpp.hpp>
#include <rclcpp_components/register_node_macro.hpp>
#include <sensor_msgs/msg/compressed_image.hpp>
#include <sensor_msgs/msg/image.hpp>
#include <sensor_msgs/msg/point_cloud2.hpp>

#include "data_hash.hpp"
#include "process_usage.hpp"
#include "remote_figures.hpp"
#include "set_tag.hpp"
#include "tavrinox_camera_convertor/codec/cloud_decoder.hpp"
#include "tavrinox_camera_convertor/codec/depth_image_codec.hpp"
#include "tavrinox_camera_convertor/geometry/camera_config.hpp"
#include "tavrinox_camera_convertor/pipeline/output_set.hpp"
#include "tavrinox_camera_convertor/ros/transports/compressed_cloud_message.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

using point_cloud_interfaces::msg::CompressedPointCloud2;
using sensor_msgs::msg::CompressedImage;
using sensor_msgs::msg::Image;
using sensor_msgs::msg::PointCloud2;

constexpr std::array<const char *, 5> kOutputTopics = {
  "/tavrinox_camera_convertor/cam1_cloud", "/tavrinox_camera_convertor/cam2_cloud",
  "/camera_02/depth/converted_image", "/camera_02/color/converted_image",
  "/tavrinox_camera_convertor/converted_cloud"};

/// compressed_depth_image_transport's header before the PNG: a format and two floats.
constexpr std::size_t kCompressedDepthHeaderBytes = 12;

std::int64_t system_ns()
{
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
    std::chrono::system_clock::now().time_since_epoch()).count();
}

std::int64_t stamp_ns(const builtin_interfaces::msg::Time & stamp)
{
  return static_cast<std::int64_t>(stamp.sec) * 1000000000 + stamp.nanosec;
}

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
  PointCloud2 cloud;
  cv::Mat rgb;
  DepthImageDecoder depth;
  std::vector<std::uint16_t> millimetres;
};

/// A received message on its way to the decoding thread.
struct Job
{
  std::size_t output = 0;
  std::int64_t stamp_ns = 0;
  std::int64_t received_ns = 0;
  std::size_t bytes = 0;
  std::function<Decoded(DecodeState &)> decode;
};

/// The set and hash of an image's pixels, tagged as the stand-in cameras tag them.
Decoded image_data(OutputKind kind, const std::uint8_t * data, std::size_t size)
{
  Decoded decoded;
  decoded.hash = hash_bytes(data, size);
  if (kind == OutputKind::depth_image && size >= 2 * kTagPixels) {
    decoded.set = read_depth_tag(data);
  } else if (kind == OutputKind::color_image && size >= 3 * kTagPixels) {
    decoded.set = read_color_tag(data);
  }
  return decoded;
}

}  // namespace

/**
 * Parameter "mode": "lossless" takes the clouds from `<cloud topic>/tavrinox_depth`, the colour
 * image from `.../compressed` (PNG) and the depth image from `.../compressedDepth`;
 * "lossless_tavrinox" the same but the depth image from `.../tavrinox_depth`;
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
    max_pending_bytes_limit_ = static_cast<std::size_t>(
      std::max<std::int64_t>(1, declare_parameter<std::int64_t>("max_pending_mib", 1024))) << 20;
    std::string config_path = declare_parameter<std::string>("config", "");
    if (config_path.empty()) {
      config_path = ament_index_cpp::get_package_share_directory("tavrinox_camera_convertor") +
        kConfigPathInShare;
    }
    std::ostringstream matrices;
    config_ = load_camera_config(config_path, matrices);
    if (mode_ == "lossless" || mode_ == "lossless_tavrinox") {
      subscribe_lossless(mode_ == "lossless_tavrinox" ? kDepthImageTransport : "compressedDepth");
    } else if (mode_ == "raw_reliable" || mode_ == "raw_best_effort") {
      subscribe_raw(mode_ == "raw_reliable");
    } else {
      throw std::invalid_argument(
              "remote consumer: mode must be lossless, lossless_tavrinox, raw_reliable or "
              "raw_best_effort");
    }
    cpu_at_start_ = read_process_usage(getpid()).value_or(ProcessUsage{});
    worker_ = std::thread([this] {decode_loop();});
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

  ~RemoteConsumer() override
  {
    stop_worker();
  }

private:
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

  void subscribe_lossless(const std::string & depth_transport)
  {
    for (const OutputKind kind :
      {OutputKind::cam1_cloud, OutputKind::cam2_cloud, OutputKind::converted_cloud})
    {
      const std::string topic =
        std::string(kOutputTopics[static_cast<std::size_t>(kind)]) + "/" + kDepthCloudTransport;
      subscriptions_.push_back(
        create_subscription<CompressedPointCloud2>(
          topic, qos(true), [this, kind](CompressedPointCloud2::UniquePtr message) {
            receive_compressed_cloud(kind, std::move(message));
          }));
    }
    const auto depth = static_cast<std::size_t>(OutputKind::depth_image);
    subscriptions_.push_back(
      create_subscription<CompressedImage>(
        std::string(kOutputTopics[depth]) + "/" + depth_transport, qos(true),
        [this](CompressedImage::UniquePtr message) {
          receive_compressed_image(OutputKind::depth_image, std::move(message));
        }));
    const auto color = static_cast<std::size_t>(OutputKind::color_image);
    subscriptions_.push_back(
      create_subscription<CompressedImage>(
        std::string(kOutputTopics[color]) + "/compressed", qos(true),
        [this](CompressedImage::UniquePtr message) {
          receive_compressed_image(OutputKind::color_image, std::move(message));
        }));
  }

  void subscribe_raw(bool reliable)
  {
    for (std::size_t k = 0; k < kOutputTopics.size(); ++k) {
      const auto kind = static_cast<OutputKind>(k);
      if (kind == OutputKind::depth_image || kind == OutputKind::color_image) {
        subscriptions_.push_back(
          create_subscription<Image>(
            kOutputTopics[k], qos(reliable), [this, kind](Image::UniquePtr message) {
              receive_raw_image(kind, std::move(message));
            }));
      } else {
        subscriptions_.push_back(
          create_subscription<PointCloud2>(
            kOutputTopics[k], qos(reliable), [this, kind](PointCloud2::UniquePtr message) {
              receive_raw_cloud(kind, std::move(message));
            }));
      }
    }
  }

  const ExtrinsicTransform & extrinsic(OutputKind kind) const
  {
    return kind == OutputKind::cam2_cloud ? config_.extrinsic_2 : config_.extrinsic_1;
  }

  Decoded cloud_data(OutputKind kind, const PointCloud2 & cloud) const
  {
    Decoded decoded;
    decoded.hash = hash_bytes(cloud.data.data(), cloud.data.size());
    const std::size_t points = cloud.point_step == 16 ? cloud.data.size() / 16 : 0;
    decoded.set = read_cloud_tag(cloud.data.data(), points, extrinsic(kind));
    return decoded;
  }

  void receive_compressed_cloud(OutputKind kind, CompressedPointCloud2::UniquePtr message)
  {
    const std::int64_t now = system_ns();
    std::shared_ptr<const CompressedPointCloud2> shared(std::move(message));
    enqueue(
      kind, shared->header.stamp, now, shared->compressed_data.size(),
      [this, kind, shared](DecodeState & state) {
        decode_compressed_cloud(*shared, state.clouds, state.cloud);
        return cloud_data(kind, state.cloud);
      });
  }

  void receive_compressed_image(OutputKind kind, CompressedImage::UniquePtr message)
  {
    const std::int64_t now = system_ns();
    std::shared_ptr<const CompressedImage> shared(std::move(message));
    enqueue(
      kind, shared->header.stamp, now, shared->data.size(),
      [kind, shared](DecodeState & state) {
        if (shared->format == std::string("16UC1; ") + kDepthImageTransport) {
          std::uint32_t width = 0;
          std::uint32_t height = 0;
          state.depth.decode(
            shared->data.data(), shared->data.size(), width, height, state.millimetres);
          return image_data(
            kind, reinterpret_cast<const std::uint8_t *>(state.millimetres.data()),
            2 * state.millimetres.size());
        }
        // compressedDepth puts its header before the PNG; compressed PNGs hold BGR pixels.
        const std::size_t skip = kind == OutputKind::depth_image ? kCompressedDepthHeaderBytes : 0;
        if (shared->data.size() <= skip) {
          throw std::runtime_error("an empty compressed image");
        }
        const cv::Mat encoded(
          1, static_cast<int>(shared->data.size() - skip), CV_8UC1,
          const_cast<std::uint8_t *>(shared->data.data() + skip));
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
      });
  }

  void receive_raw_image(OutputKind kind, Image::UniquePtr message)
  {
    const std::int64_t now = system_ns();
    std::shared_ptr<const Image> shared(std::move(message));
    enqueue(
      kind, shared->header.stamp, now, shared->data.size(), [kind, shared](DecodeState &) {
        return image_data(kind, shared->data.data(), shared->data.size());
      });
  }

  void receive_raw_cloud(OutputKind kind, PointCloud2::UniquePtr message)
  {
    const std::int64_t now = system_ns();
    std::shared_ptr<const PointCloud2> shared(std::move(message));
    enqueue(
      kind, shared->header.stamp, now, shared->data.size(), [this, kind, shared](DecodeState &) {
        return cloud_data(kind, *shared);
      });
  }

  /// The arrival is noted here; decoding waits for the decoding thread.
  void enqueue(
    OutputKind kind, const builtin_interfaces::msg::Time & stamp, std::int64_t received_ns,
    std::size_t bytes, std::function<Decoded(DecodeState &)> decode)
  {
    Job job;
    job.output = static_cast<std::size_t>(kind);
    job.stamp_ns = stamp_ns(stamp);
    job.received_ns = received_ns;
    job.bytes = bytes;
    job.decode = std::move(decode);
    const std::lock_guard<std::mutex> lock(mutex_);
    ++received_[job.output];
    bytes_[job.output] += bytes;
    if (pending_bytes_ + bytes > max_pending_bytes_limit_) {
      ++overflowed_;
      return;
    }
    pending_bytes_ += bytes;
    max_pending_bytes_ = std::max(max_pending_bytes_, pending_bytes_);
    jobs_.push_back(std::move(job));
    wake_.notify_one();
  }

  /**
   * Decodes in arrival order, or all at the end with defer_decoding. On one machine the decoding
   * would take the robot's processors, which another host would not: the thread runs at the
   * lowest priority and lets its queue grow instead, and the run's end waits for it to drain.
   */
  void decode_loop()
  {
    setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), 19);
    DecodeState state;
    std::unique_lock<std::mutex> lock(mutex_);
    while (true) {
      wake_.wait(lock, [this] {return stopping_ || (!jobs_.empty() && !defer_decoding_);});
      if (jobs_.empty()) {
        return;
      }
      Job job = std::move(jobs_.front());
      jobs_.pop_front();
      lock.unlock();
      const auto started = std::chrono::steady_clock::now();
      std::optional<Decoded> decoded;
      try {
        decoded = job.decode(state);
      } catch (const std::exception & error) {
        RCLCPP_WARN_ONCE(
          get_logger(), "%s: cannot decode (%s)", kOutputNames[job.output], error.what());
      }
      const double decode_ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started)
        .count();
      job.decode = nullptr;
      lock.lock();
      pending_bytes_ -= job.bytes;
      decode_ms_[job.output] += decode_ms;
      max_decode_ms_[job.output] = std::max(max_decode_ms_[job.output], decode_ms);
      if (!decoded) {
        ++failed_[job.output];
      } else if (!decoded->set) {
        ++untagged_[job.output];
      } else {
        OutputRecord record;
        record.set = *decoded->set;
        record.output = static_cast<std::uint32_t>(job.output);
        record.stamp_ns = job.stamp_ns;
        record.received_ns = job.received_ns;
        record.bytes = job.bytes;
        record.hash = decoded->hash;
        records_.push_back(record);
      }
    }
  }

  void stop_worker()
  {
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      stopping_ = true;
    }
    wake_.notify_all();
    if (worker_.joinable()) {
      worker_.join();
    }
  }

  /// No more messages; what came is decoded, written, and the process ends.
  void finish()
  {
    stop_timer_->cancel();
    subscriptions_.clear();
    stop_worker();
    const ProcessUsage cpu_at_end = read_process_usage(getpid()).value_or(ProcessUsage{});
    std::ostringstream text;
    std::size_t messages = 0;
    for (std::size_t k = 0; k < kOutputNames.size(); ++k) {
      messages += received_[k];
      if (received_[k] == 0) {
        continue;
      }
      char line[512];
      std::snprintf(
        line, sizeof line,
        "remote_messages=%s received=%zu bytes_per_message=%.0f decode_ms_mean=%.2f "
        "decode_ms_max=%.2f failed=%zu untagged=%zu\n",
        kOutputNames[k], received_[k], static_cast<double>(bytes_[k]) / received_[k],
        decode_ms_[k] / received_[k], max_decode_ms_[k], failed_[k], untagged_[k]);
      text << line;
    }
    char line[256];
    std::snprintf(
      line, sizeof line,
      "remote_process mode=%s cpu_ms=%.0f cpu_ms_per_message=%.2f max_pending_mib=%.1f "
      "overflowed=%zu decoding=%s\n",
      mode_.c_str(), cpu_at_end.cpu_ms - cpu_at_start_.cpu_ms,
      messages > 0 ? (cpu_at_end.cpu_ms - cpu_at_start_.cpu_ms) / messages : 0.0,
      static_cast<double>(max_pending_bytes_) / (1 << 20), overflowed_,
      defer_decoding_ ? "after_stop" : "on_arrival");
    text << line;
    std::fputs(text.str().c_str(), stdout);
    std::fflush(stdout);
    if (!outputs_csv_.empty()) {
      std::ofstream csv(outputs_csv_);
      write_output_records(csv, records_);
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
  std::size_t max_pending_bytes_limit_ = 0;
  CameraConfig config_;
  ProcessUsage cpu_at_start_;
  std::vector<rclcpp::SubscriptionBase::SharedPtr> subscriptions_;
  rclcpp::TimerBase::SharedPtr stop_timer_;

  std::mutex mutex_;  ///< between the receiving callbacks and the decoding thread
  std::condition_variable wake_;
  std::deque<Job> jobs_;
  bool stopping_ = false;
  std::size_t pending_bytes_ = 0;
  std::size_t max_pending_bytes_ = 0;
  std::size_t overflowed_ = 0;
  std::array<std::size_t, 5> received_{};
  std::array<std::size_t, 5> bytes_{};
  std::array<std::size_t, 5> failed_{};
  std::array<std::size_t, 5> untagged_{};
  std::array<double, 5> decode_ms_{};
  std::array<double, 5> max_decode_ms_{};
  std::vector<OutputRecord> records_;
  std::thread worker_;  ///< last: it uses everything above
};

}  // namespace tavrinox_camera_convertor

RCLCPP_COMPONENTS_REGISTER_NODE(tavrinox_camera_convertor::RemoteConsumer)
