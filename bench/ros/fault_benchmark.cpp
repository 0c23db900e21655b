// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// The fault benchmark as a component: a stand-in for both cameras that streams tagged frame
// sets with injected faults (lost images, free-running cameras with jitter, a camera clock far
// off, a camera gone silent), a consumer of the converter's five outputs, and a reader of the
// converter's log. From the tags in the outputs it counts the sets published, lost and mixed,
// and from the log's timestamps how long the warnings took. It reports, then shuts its process
// down (scripts/run_fault_benchmark.sh).
#include <algorithm>
#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <diagnostic_msgs/msg/diagnostic_array.hpp>
#include <rclcpp/rclcpp.hpp>
#include <rclcpp_components/register_node_macro.hpp>
#include <sensor_msgs/msg/image.hpp>
#include <sensor_msgs/msg/point_cloud2.hpp>

#include "benchmark_config.hpp"
#include "clock_ns.hpp"
#include "fault_plan.hpp"
#include "fault_report.hpp"
#include "node_frames.hpp"
#include "node_log.hpp"
#include "node_status.hpp"
#include "output_subscriptions.hpp"
#include "output_tags.hpp"
#include "set_tag.hpp"
#include "stand_in_cameras.hpp"
#include "synthetic_depth.hpp"
#include "tavrinox_camera_convertor/geometry/camera_config.hpp"
#include "tavrinox_camera_convertor/pipeline/output_set.hpp"

namespace tavrinox_camera_convertor
{

/**
 * Scenarios (parameter `scenario`), each at `rate_hz` with whole sets for `warm_up_s` first:
 * - loss: each image of `sets` measured sets lost with chance `loss`;
 * - free_running: camera 2 `camera_2_offset` of a period behind camera 1, every stamp off by up
 *   to `stamp_jitter_ms` either way, every image sent up to `arrival_jitter_ms` late;
 * - clock_offset: camera 2's stamps `clock_offset_s` ahead, from the first image on;
 * - silence: camera 2 silent for `silence_s` from 2 s into the measured sets on (so `sets`
 *   should cover 2 s, the silence and a few seconds after it).
 */
class FaultBenchmark : public rclcpp::Node
{
public:
  explicit FaultBenchmark(const rclcpp::NodeOptions & options)
  : rclcpp::Node("tavrinox_fault_benchmark", options)
  {
    faults_.scenario = declare_parameter<std::string>("scenario", "loss");
    const auto width = static_cast<std::uint32_t>(declare_parameter<int>("width", 640));
    const auto height = static_cast<std::uint32_t>(declare_parameter<int>("height", 480));
    faults_.rate_hz = declare_parameter<double>("rate_hz", 10.0);
    const double warm_up_s = declare_parameter<double>("warm_up_s", 2.0);
    faults_.sets = static_cast<std::uint32_t>(declare_parameter<int>("sets", 300));
    faults_.loss = declare_parameter<double>("loss", 0.1);
    faults_.camera_2_offset = declare_parameter<double>("camera_2_offset", 0.0);
    faults_.stamp_jitter_ns =
      static_cast<std::int64_t>(declare_parameter<double>("stamp_jitter_ms", 2.0) * 1e6);
    faults_.arrival_jitter_ns =
      static_cast<std::int64_t>(declare_parameter<double>("arrival_jitter_ms", 40.0) * 1e6);
    const double clock_offset_s = declare_parameter<double>("clock_offset_s", 12.0);
    const double silence_s = declare_parameter<double>("silence_s", 5.0);
    faults_.seed = static_cast<unsigned>(declare_parameter<int>("seed", 1));
    // What the converter was started with, for the report: -1 learned, 0 off.
    run_.max_set_interval_s = declare_parameter<double>("max_set_interval", -1.0);
    node_log_ = declare_parameter<std::string>("node_log", "");
    report_path_ = declare_parameter<std::string>("report", "");
    label_ = declare_parameter<std::string>("label", faults_.scenario);
    if (width < kTagPixels || height == 0 || width > 8192 || height > 8192 ||
      !(faults_.rate_hz > 0.0) || faults_.rate_hz > 1000.0 || !(warm_up_s >= 0.0) ||
      faults_.sets == 0 || faults_.sets > 100000 || !(faults_.loss >= 0.0 && faults_.loss <= 1.0))
    {
      throw std::invalid_argument(
              "fault benchmark: width 8..8192, height 1..8192, rate_hz up to 1000, sets 1..100000 "
              "and loss 0..1");
    }
    faults_.warm_up_sets = static_cast<std::uint32_t>(warm_up_s * faults_.rate_hz);
    apply_scenario(faults_, clock_offset_s, silence_s);
    plan_ = make_plan(faults_);

    config_ = load_benchmark_config("");
    for (std::size_t camera = 0; camera < 2; ++camera) {
      const std::vector<std::uint16_t> mm =
        synthetic_depth(width, height, camera == 0 ? 0.1 : 0.01, static_cast<unsigned>(camera + 1));
      depth_[camera] = depth_image(width, height, mm);
    }
    rgb_ = pattern_colour_image(width, height);
    inputs_ = camera_publishers(*this, config_);
    // What is received has a callback group of its own, so that it never waits for sending.
    receiving_group_ = create_callback_group(rclcpp::CallbackGroupType::MutuallyExclusive);
    subscribe_to_outputs();
    watch_diagnostics();
    RCLCPP_INFO(
      get_logger(), "%s: %s, %ux%u at %.1f Hz, %u warm-up sets, %u measured", label_.c_str(),
      faults_.scenario.c_str(), width, height, faults_.rate_hz, faults_.warm_up_sets,
      faults_.sets);
    sender_ = std::thread([this] {run();});
  }

  ~FaultBenchmark() override
  {
    {
      const std::lock_guard<std::mutex> lock(stop_mutex_);
      stopping_ = true;
    }
    stop_.notify_all();
    if (sender_.joinable()) {
      sender_.join();
    }
  }

  FaultBenchmark(const FaultBenchmark &) = delete;
  FaultBenchmark & operator=(const FaultBenchmark &) = delete;

private:
  using Image = sensor_msgs::msg::Image;
  using SteadyClock = std::chrono::steady_clock;

  /// Each output with the set its tag names, for the frames the report makes of them.
  void subscribe_to_outputs()
  {
    subscriptions_ = subscribe_outputs(
      *this, rclcpp::QoS(10), receiving_group_,
      [this](OutputKind kind, Image::UniquePtr image) {
        record(
          image->header.stamp, kind,
          image_output_set(kind, image->data.data(), image->data.size()));
      },
      [this](OutputKind kind, sensor_msgs::msg::PointCloud2::UniquePtr cloud) {
        record(cloud->header.stamp, kind, cloud_output_set(kind, *cloud, config_));
      });
  }

  /// The converter's own account, once a second: whether its inputs or its pairing stopped
  /// when outputs do.
  void watch_diagnostics()
  {
    rclcpp::SubscriptionOptions options;
    options.callback_group = receiving_group_;
    diagnostics_ = create_subscription<diagnostic_msgs::msg::DiagnosticArray>(
      "/diagnostics", 10, [this](diagnostic_msgs::msg::DiagnosticArray::UniquePtr array) {
        const std::vector<NodeStatus> statuses = node_statuses(*array);
        const std::lock_guard<std::mutex> lock(mutex_);
        statuses_.insert(statuses_.end(), statuses.begin(), statuses.end());
      }, options);
  }

  void record(
    const builtin_interfaces::msg::Time & stamp, OutputKind kind,
    std::optional<std::uint32_t> set)
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    outputs_.push_back({stamp_ns(stamp), static_cast<std::size_t>(kind), set});
  }

  /// @brief Waits until `deadline`; false when the component is going away.
  bool wait_until(SteadyClock::time_point deadline)
  {
    std::unique_lock<std::mutex> lock(stop_mutex_);
    return !stop_.wait_until(lock, deadline, [this] {return stopping_ || !rclcpp::ok();});
  }

  bool matched() const
  {
    bool all = true;
    for (const auto & input : inputs_) {
      all = all && input->get_subscription_count() > 0;
    }
    for (const auto & subscription : subscriptions_) {
      all = all && subscription->get_publisher_count() > 0;
    }
    return all;
  }

  /// Sends the plan's images on time, then reports once the stragglers and the log are in.
  void run()
  {
    const auto give_up = SteadyClock::now() + std::chrono::seconds(60);
    while (!matched()) {
      if (SteadyClock::now() > give_up ||
        !wait_until(SteadyClock::now() + std::chrono::milliseconds(100)))
      {
        finish("error=the converter's topics never matched\n");
        return;
      }
    }
    // Our side has matched; the converter's announcements of its own side follow shortly.
    if (!wait_until(SteadyClock::now() + std::chrono::seconds(2))) {
      return;
    }
    const SteadyClock::time_point start = SteadyClock::now();
    run_.start_system_ns = system_ns();
    for (const PlannedImage & planned : plan_.images) {
      if (!wait_until(start + std::chrono::nanoseconds(planned.due_ns))) {
        return;
      }
      send(planned);
    }
    if (wait_until(SteadyClock::now() + std::chrono::seconds(3))) {
      finish(report());
    }
  }

  void send(const PlannedImage & planned)
  {
    const bool colour = planned.input % 2 == 0;
    auto image = std::make_unique<Image>(colour ? *rgb_ : *depth_[planned.input / 2]);
    if (colour) {
      write_color_tag(planned.set, image->data.data());
    } else {
      write_depth_tag(planned.set, image->data.data());
    }
    const std::int64_t stamp = run_.start_system_ns + planned.stamp_ns;
    image->header.stamp.sec = static_cast<std::int32_t>(stamp / kSecond);
    image->header.stamp.nanosec = static_cast<std::uint32_t>(stamp % kSecond);
    image->header.frame_id = "camera";
    const std::int64_t now = system_ns();
    if (run_.first_sent_ns < 0) {
      run_.first_sent_ns = now;
    }
    if (planned.input >= 2 && plan_.silent_until_ns >= 0 &&
      planned.due_ns >= plan_.silent_until_ns && run_.camera_2_back_ns < 0)
    {
      run_.camera_2_back_ns = now;
      run_.camera_2_back_set = planned.set;
    }
    const SteadyClock::time_point before = SteadyClock::now();
    inputs_[planned.input]->publish(std::move(image));
    run_.longest_publish = std::max(run_.longest_publish, SteadyClock::now() - before);
    run_.last_sent_ns = system_ns();
  }

  void finish(const std::string & text)
  {
    std::fputs(text.c_str(), stdout);
    std::fflush(stdout);
    if (!report_path_.empty()) {
      std::ofstream(report_path_) << text;
    }
    rclcpp::shutdown(nullptr, "fault benchmark done");
  }

  std::string report() const
  {
    ConverterAccount converter;
    std::vector<ReceivedOutput> outputs;
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      outputs = outputs_;
      converter.statuses = statuses_;
    }
    converter.frames = tally_frames(outputs, plan_);
    converter.outputs = outputs.size();
    converter.log = read_log(node_log_);
    return fault_report(label_, faults_, plan_, run_, converter);
  }

  Faults faults_;
  Plan plan_;
  std::string node_log_;
  std::string report_path_;
  std::string label_;
  CameraConfig config_;
  std::array<std::unique_ptr<Image>, 2> depth_;
  std::unique_ptr<Image> rgb_;
  std::vector<rclcpp::Publisher<Image>::SharedPtr> inputs_;
  std::vector<rclcpp::SubscriptionBase::SharedPtr> subscriptions_;
  rclcpp::CallbackGroup::SharedPtr receiving_group_;
  rclcpp::Subscription<diagnostic_msgs::msg::DiagnosticArray>::SharedPtr diagnostics_;

  /// Written by the sending thread only, read by it when it reports.
  FaultRun run_;

  mutable std::mutex mutex_;  ///< between the receiving callbacks and the report
  std::vector<ReceivedOutput> outputs_;
  std::vector<NodeStatus> statuses_;

  std::mutex stop_mutex_;
  std::condition_variable stop_;
  bool stopping_ = false;
  std::thread sender_;
};

}  // namespace tavrinox_camera_convertor

RCLCPP_COMPONENTS_REGISTER_NODE(tavrinox_camera_convertor::FaultBenchmark)
