// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// The streaming benchmark as a component: a stand-in for both cameras that publishes tagged
// frame sets at a fixed rate, and a consumer of the converter's five outputs that times each
// one from its set's publication. Loaded into a container beside the converter, or in a
// process of its own, it reports and then shuts its process down. A run may be split into two
// windows with a pause between them, in which another consumer (on another host, say) joins,
// so that one run measures the converter without and with it.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <memory>
#include <mutex>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include <diagnostic_msgs/msg/diagnostic_array.hpp>
#include <rclcpp/rclcpp.hpp>
#include <rclcpp_components/register_node_macro.hpp>
#include <sensor_msgs/msg/image.hpp>
#include <sensor_msgs/msg/point_cloud2.hpp>

#include "bad_sets.hpp"
#include "benchmark_config.hpp"
#include "clock_ns.hpp"
#include "data_hash.hpp"
#include "link_counters.hpp"
#include "output_subscriptions.hpp"
#include "output_tags.hpp"
#include "remote_figures.hpp"
#include "set_tag.hpp"
#include "stand_in_cameras.hpp"
#include "stream_recording.hpp"
#include "stream_report.hpp"
#include "stream_windows.hpp"
#include "subtopic_diagnostics.hpp"
#include "synthetic_depth.hpp"
#include "tavrinox_camera_convertor/geometry/camera_config.hpp"
#include "tavrinox_camera_convertor/pipeline/output_set.hpp"
#include "watched_processes.hpp"

namespace tavrinox_camera_convertor
{

/**
 * Role "bench" publishes and consumes; "publisher" only publishes, to measure a converter
 * nobody listens to; "sink" only subscribes to the four camera topics, the cost of receiving.
 */
class StreamBenchmark : public rclcpp::Node
{
public:
  explicit StreamBenchmark(const rclcpp::NodeOptions & options)
  : rclcpp::Node("tavrinox_stream_benchmark", options)
  {
    role_ = declare_parameter<std::string>("role", "bench");
    const auto width = static_cast<std::uint32_t>(declare_parameter<int>("width", 1280));
    const auto height = static_cast<std::uint32_t>(declare_parameter<int>("height", 720));
    rate_hz_ = declare_parameter<double>("rate_hz", 10.0);
    const double warm_up_s = declare_parameter<double>("warm_up_s", 5.0);
    const double duration_s = declare_parameter<double>("duration_s", 60.0);
    const double hole_share = declare_parameter<double>("hole_share", 0.1);
    // Measured noise makes depth images, and so the clouds' lossless encodings, as
    // incompressible as a sensor's; a few different frames in turn, as a sensor's change.
    const bool noisy_depth = declare_parameter<bool>("noisy_depth", false);
    const auto window_count = declare_parameter<std::int64_t>("windows", 1);
    const double join_settle_s = declare_parameter<double>("join_settle_s", 5.0);
    join_marker_ = declare_parameter<std::string>("join_marker", "");
    outputs_csv_ = declare_parameter<std::string>("outputs_csv", "");
    link_interface_ = declare_parameter<std::string>("link_interface", "");
    label_ = declare_parameter<std::string>("label", "run");
    bad_every_ = static_cast<std::uint32_t>(std::max<std::int64_t>(
        0,
        declare_parameter<std::int64_t>("bad_every", 0)));
    report_path_ = declare_parameter<std::string>("report", "");
    watched_ = WatchedProcesses(declare_parameter<std::string>("watch", ""));
    config_ = load_benchmark_config(declare_parameter<std::string>("config", ""));
    if (width < kTagPixels || height == 0 || width > 8192 || height > 8192 || !(rate_hz_ > 0.0) ||
      rate_hz_ > 1000.0 || !(duration_s > 0.0) || duration_s > 86400.0 || !(warm_up_s >= 0.0) ||
      warm_up_s > 3600.0 || (window_count != 1 && window_count != 2) ||
      !(join_settle_s >= 0.0) || join_settle_s > 3600.0)
    {
      throw std::invalid_argument(
              "stream benchmark: width 8..8192, height 1..8192, rate_hz up to 1000, "
              "duration_s up to a day, warm_up_s and join_settle_s up to an hour, windows 1 or 2");
    }
    warm_up_sets_ = static_cast<std::uint32_t>(warm_up_s * rate_hz_);
    const std::uint32_t measured =
      std::max<std::uint32_t>(1, static_cast<std::uint32_t>(duration_s * rate_hz_));
    windows_ = plan_windows(
      warm_up_sets_, measured, static_cast<std::uint32_t>(join_settle_s * rate_hz_),
      window_count);
    recording_ = StreamRecording(windows_.back().sets.end);

    if (role_ == "sink") {
      start_sink();
      return;
    }
    if (role_ != "bench" && role_ != "publisher") {
      throw std::invalid_argument("stream benchmark: role must be bench, publisher or sink");
    }
    const unsigned frames = noisy_depth ? 4 : 1;
    for (unsigned k = 0; k < frames; ++k) {
      const auto depth = noisy_depth ? noisy_synthetic_depth : synthetic_depth;
      depth_1_.push_back(depth_image(width, height, depth(width, height, hole_share, 1 + 2 * k)));
      depth_2_.push_back(
        depth_image(width, height, depth(width, height, hole_share / 10.0, 2 + 2 * k)));
    }
    rgb_ = pattern_colour_image(width, height);
    inputs_ = camera_publishers(*this, config_);
    if (role_ == "bench") {
      subscribe_to_outputs();
    }
    publishing_group_ = create_callback_group(rclcpp::CallbackGroupType::MutuallyExclusive);
    const std::chrono::duration<double> period(1.0 / rate_hz_);
    timer_ = create_wall_timer(
      std::chrono::duration_cast<std::chrono::nanoseconds>(period), [this] {tick();},
      publishing_group_);
    RCLCPP_INFO(
      get_logger(), "%s: %ux%u at %.1f Hz, %u warm-up sets, then %zu window(s) of %u measured",
      label_.c_str(), width, height, rate_hz_, warm_up_sets_, windows_.size(), measured);
  }

private:
  using Image = sensor_msgs::msg::Image;
  using PointCloud2 = sensor_msgs::msg::PointCloud2;

  /// Subscriptions of the outputs, in a group of their own so that publishing is never held up.
  void subscribe_to_outputs()
  {
    receiving_group_ = create_callback_group(rclcpp::CallbackGroupType::MutuallyExclusive);
    subscriptions_ = subscribe_outputs(
      *this, rclcpp::QoS(10), receiving_group_,
      [this](OutputKind kind, Image::UniquePtr image) {receive_image(kind, *image);},
      [this](OutputKind kind, PointCloud2::UniquePtr cloud) {receive_cloud(kind, *cloud);});
    if (windows_.size() > 1) {
      // What the node's subtopics sent and skipped in each window, for consumers elsewhere.
      rclcpp::SubscriptionOptions options;
      options.callback_group = receiving_group_;
      subscriptions_.push_back(
        create_subscription<diagnostic_msgs::msg::DiagnosticArray>(
          "/diagnostics", 10, [this](diagnostic_msgs::msg::DiagnosticArray::UniquePtr array) {
            if (const std::optional<SubtopicSnapshot> snapshot = subtopic_snapshot(*array)) {
              const std::lock_guard<std::mutex> lock(mutex_);
              subtopics_ = *snapshot;
            }
          }, options));
    }
  }

  void start_sink()
  {
    for (const std::string & topic :
      {config_.rgb_topic_1, config_.depth_topic_1, config_.rgb_topic_2, config_.depth_topic_2})
    {
      subscriptions_.push_back(create_subscription<Image>(topic, 10, [](Image::UniquePtr) {}));
    }
    RCLCPP_INFO(
      get_logger(), "%s: receiving the four camera topics and nothing else",
      label_.c_str());
  }

  void receive_cloud(OutputKind kind, const PointCloud2 & cloud)
  {
    const std::int64_t now = steady_ns();
    record(kind, cloud_output_set(kind, cloud, config_), now, cloud.header.stamp, cloud.data);
  }

  void receive_image(OutputKind kind, const Image & image)
  {
    const std::int64_t now = steady_ns();
    record(
      kind, image_output_set(kind, image.data.data(), image.data.size()), now,
      image.header.stamp, image.data);
  }

  void record(
    OutputKind kind, std::optional<std::uint32_t> set, std::int64_t now,
    const builtin_interfaces::msg::Time & stamp, const std::vector<std::uint8_t> & data)
  {
    // Hashed before the lock is taken: the publishing callbacks wait for it.
    OutputRecord seen;
    if (!outputs_csv_.empty() && set) {
      seen.set = *set;
      seen.output = static_cast<std::uint32_t>(kind);
      seen.stamp_ns = stamp_ns(stamp);
      seen.received_ns = system_ns();
      seen.bytes = data.size();
      seen.hash = hash_bytes(data.data(), data.size());
    }
    const std::lock_guard<std::mutex> lock(mutex_);
    const std::vector<std::int64_t> & published = recording_.published_ns;
    if (!set || *set >= published.size() || published[*set] < 0) {
      ++recording_.untagged;
      return;
    }
    recording_.received_ns[static_cast<std::size_t>(kind)][*set] = now;
    if (!outputs_csv_.empty()) {
      recording_.records.push_back(seen);
    }
  }

  void tick()
  {
    const std::uint32_t total = windows_.back().sets.end;
    for (Window & window : windows_) {
      if (next_set_ == window.sets.end && !window.has_ended) {
        end_window(window);
        if (&window == &windows_.front() && windows_.size() > 1 && !join_marker_.empty()) {
          std::ofstream(join_marker_) << "the first window ended\n";
        }
      }
      if (next_set_ == window.sets.first && next_set_ < total) {
        start_window(window);
      }
    }
    if (next_set_ < total) {
      publish_set(next_set_++);
      return;
    }
    // After the last set, a few seconds for the stragglers, then the report.
    if (++ticks_after_last_ < static_cast<int>(3.0 * rate_hz_) + 1) {
      sample_memory();
      return;
    }
    timer_->cancel();
    report();
    rclcpp::shutdown(nullptr, "stream benchmark done");
  }

  void publish_set(std::uint32_t set)
  {
    const std::size_t frame = set % depth_1_.size();
    auto rgb_1 = std::make_unique<Image>(*rgb_);
    auto depth_1 = std::make_unique<Image>(*depth_1_[frame]);
    auto rgb_2 = std::make_unique<Image>(*rgb_);
    auto depth_2 = std::make_unique<Image>(*depth_2_[frame]);
    write_color_tag(set, rgb_1->data.data());
    write_depth_tag(set, depth_1->data.data());
    write_depth_tag(set, depth_2->data.data());
    if (const std::optional<BadSet> bad = bad_kind(set, bad_every_)) {
      spoil(*bad, *rgb_1, *depth_1, *depth_2);
    }
    const builtin_interfaces::msg::Time stamp = now();
    for (Image * image : {rgb_1.get(), depth_1.get(), rgb_2.get(), depth_2.get()}) {
      image->header.stamp = stamp;
      image->header.frame_id = "camera";
    }
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      recording_.published_ns[set] = steady_ns();
    }
    inputs_[0]->publish(std::move(rgb_1));
    inputs_[1]->publish(std::move(depth_1));
    inputs_[2]->publish(std::move(rgb_2));
    inputs_[3]->publish(std::move(depth_2));
    if (set % static_cast<std::uint32_t>(std::max(1.0, rate_hz_)) == 0) {
      sample_memory();
    }
  }

  std::optional<LinkCounters> link_now() const
  {
    return link_interface_.empty() ? std::nullopt : read_link_counters(link_interface_);
  }

  void start_window(Window & window)
  {
    window.started = std::chrono::steady_clock::now();
    window.usage_at_start = watched_.usage_now();
    window.link_at_start = link_now();
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      window.subtopics_at_start = subtopics_;
    }
    if (&window == &windows_.front()) {
      watched_.start_memory(window.usage_at_start, window.started);
    }
  }

  /// At the set after a window's last, or one period after the last set of the run.
  void end_window(Window & window)
  {
    window.ended = std::chrono::steady_clock::now();
    window.has_ended = true;
    window.usage_at_end = watched_.usage_now();
    window.link_at_end = link_now();
    const std::lock_guard<std::mutex> lock(mutex_);
    window.subtopics_at_end = subtopics_;
  }

  /// Resident memory from the first measured set on, about once a second.
  void sample_memory()
  {
    if (next_set_ <= warm_up_sets_) {
      return;
    }
    watched_.sample_memory();
  }

  void report()
  {
    // A run that ends early (SIGINT) has windows that never ended: they end now.
    for (Window & window : windows_) {
      if (!window.has_ended && !window.usage_at_start.empty()) {
        end_window(window);
      }
    }
    std::ostringstream text;
    text << "stream " << label_ << ": role=" << role_;
    text << " size=" << depth_1_.front()->width << "x" << depth_1_.front()->height <<
      " rate_hz=" << rate_hz_;
    text << " measured_sets=" << windows_.front().sets.size() << " warm_up_sets=" <<
      warm_up_sets_ << "\n";
    const StreamPace pace{rate_hz_, bad_every_, !outputs_csv_.empty()};
    const std::lock_guard<std::mutex> lock(mutex_);
    for (const Window & window : windows_) {
      if (window.usage_at_start.empty()) {
        continue;
      }
      const std::string prefix = window.name.empty() ? "" : "window=" + window.name + " ";
      if (!window.name.empty()) {
        text << prefix << "first_set=" << window.sets.first << " end_set=" << window.sets.end <<
          "\n";
      }
      if (role_ == "bench") {
        report_outputs(window, prefix, recording_, pace, text);
      }
      report_processes(window, prefix, watched_.processes(), text);
      report_link(window, prefix, link_interface_, text);
      report_subtopics(window, prefix, text);
    }
    std::fputs(text.str().c_str(), stdout);
    std::fflush(stdout);
    if (!outputs_csv_.empty()) {
      std::ofstream csv(outputs_csv_);
      write_output_records(csv, recording_.records);
    }
    if (!report_path_.empty()) {
      if (role_ == "bench" && recording_.published_ns.size() > warm_up_sets_) {
        write_set_timeline(report_path_ + ".sets.csv", recording_, warm_up_sets_, bad_every_);
      }
      watched_.write_memory_timeline(report_path_ + ".memory.csv");
      // Last: the script waits for this file and then reads the others.
      std::ofstream(report_path_) << text.str();
    }
  }

  std::string role_;
  std::string label_;
  std::string report_path_;
  std::string join_marker_;
  std::string outputs_csv_;
  std::string link_interface_;
  double rate_hz_ = 10.0;
  CameraConfig config_;
  std::uint32_t warm_up_sets_ = 0;
  std::vector<Window> windows_;
  std::uint32_t bad_every_ = 0;
  std::uint32_t next_set_ = 0;
  int ticks_after_last_ = 0;
  WatchedProcesses watched_{""};

  std::vector<std::unique_ptr<Image>> depth_1_;   ///< frames in turn, one per set
  std::vector<std::unique_ptr<Image>> depth_2_;
  std::unique_ptr<Image> rgb_;
  std::vector<rclcpp::Publisher<Image>::SharedPtr> inputs_;
  std::vector<rclcpp::SubscriptionBase::SharedPtr> subscriptions_;
  rclcpp::CallbackGroup::SharedPtr publishing_group_;
  rclcpp::CallbackGroup::SharedPtr receiving_group_;
  rclcpp::TimerBase::SharedPtr timer_;

  mutable std::mutex mutex_;  ///< between the publishing and the receiving callbacks
  StreamRecording recording_{0};
  SubtopicSnapshot subtopics_;
};

}  // namespace tavrinox_camera_convertor

RCLCPP_COMPONENTS_REGISTER_NODE(tavrinox_camera_convertor::StreamBenchmark)
