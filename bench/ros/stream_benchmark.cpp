// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// The streaming benchmark as a component: a stand-in for both cameras that publishes tagged
// frame sets at a fixed rate, and a consumer of the converter's five outputs that times each
// one from its set's publication. Loaded into a container beside the converter, or in a
// process of its own, it reports and then shuts its process down.
#include <sys/types.h>

#include <array>
#include <chrono>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include <ament_index_cpp/get_package_share_directory.hpp>
#include <rclcpp/rclcpp.hpp>
#include <rclcpp_components/register_node_macro.hpp>
#include <sensor_msgs/msg/image.hpp>
#include <sensor_msgs/msg/point_cloud2.hpp>

#include "latency_summary.hpp"
#include "process_usage.hpp"
#include "set_tag.hpp"
#include "synthetic_depth.hpp"
#include "tavrinox_camera_convertor/camera_config.hpp"
#include "tavrinox_camera_convertor/output_set.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

using sensor_msgs::msg::Image;
using sensor_msgs::msg::PointCloud2;
using SteadyClock = std::chrono::steady_clock;

constexpr std::array<const char *, 5> kOutputNames = {
  "cam1_cloud", "cam2_cloud", "depth_image", "color_image", "converted_cloud"};
constexpr std::array<const char *, 5> kOutputTopics = {
  "/tavrinox_camera_convertor/cam1_cloud", "/tavrinox_camera_convertor/cam2_cloud",
  "/camera_02/depth/converted_image", "/camera_02/color/converted_image",
  "/tavrinox_camera_convertor/converted_cloud"};

/// A process whose CPU time and memory the report gives, named for the table.
struct WatchedProcess
{
  std::string name;
  pid_t pid = 0;
  ProcessUsage at_start;
  std::int64_t resident_min_kib = 0;
  std::int64_t resident_max_kib = 0;
};

/// "node:1234,sink:1240" into its processes; this process itself is always watched as "self".
std::vector<WatchedProcess> parse_watch_list(const std::string & text)
{
  std::vector<WatchedProcess> processes = {{"self", getpid(), {}, 0, 0}};
  std::stringstream items(text);
  std::string item;
  while (std::getline(items, item, ',')) {
    const auto colon = item.find(':');
    if (colon == std::string::npos) {
      throw std::invalid_argument("watch: expected name:pid, got \"" + item + "\"");
    }
    const auto pid = static_cast<pid_t>(std::stol(item.substr(colon + 1)));
    processes.push_back({item.substr(0, colon), pid, {}, 0, 0});
  }
  return processes;
}

/// The kinds of bad frame set a soak mixes in, each like one the node's tests send.
enum class BadSet
{
  depth_encoding,      ///< camera 2's depth in "8UC1": the frame is refused
  short_depth,         ///< camera 1's depth with less data than its header says: refused
  short_depth_step,    ///< camera 1's depth step shorter than a row: refused
  colour_encoding,     ///< camera 1's colour in "32SC4": the colour conversion fails
  short_colour,        ///< camera 1's colour with less data than its header says: fails too
};
constexpr int kBadSetKinds = 5;

/// @brief What the node still publishes of a bad set of `kind`.
OutputSet outputs_of_bad_set(BadSet kind)
{
  switch (kind) {
    case BadSet::colour_encoding:
    case BadSet::short_colour:
      return OutputSet::none().with(OutputKind::cam1_cloud).with(OutputKind::cam2_cloud).with(
        OutputKind::depth_image);
    default:
      return OutputSet::none();
  }
}

/// @brief Spoils a copy of a good set as `kind` says.
void spoil(BadSet kind, Image & rgb_1, Image & depth_1, Image & depth_2)
{
  switch (kind) {
    case BadSet::depth_encoding:
      depth_2.encoding = "8UC1";
      break;
    case BadSet::short_depth:
      depth_1.data.resize(1000);
      break;
    case BadSet::short_depth_step:
      depth_1.step = depth_1.width;
      break;
    case BadSet::colour_encoding:
      rgb_1.encoding = "32SC4";
      rgb_1.width = rgb_1.step / 16;
      break;
    case BadSet::short_colour:
      rgb_1.data.resize(100);
      break;
  }
}

std::int64_t steady_ns()
{
  return std::chrono::duration_cast<std::chrono::nanoseconds>(SteadyClock::now().time_since_epoch())
         .count();
}

std::unique_ptr<Image> make_image(
  std::uint32_t width, std::uint32_t height, const std::string & encoding,
  std::uint32_t bytes_per_pixel)
{
  auto image = std::make_unique<Image>();
  image->width = width;
  image->height = height;
  image->encoding = encoding;
  image->step = width * bytes_per_pixel;
  image->data.resize(static_cast<std::size_t>(image->step) * height);
  return image;
}

std::unique_ptr<Image> depth_message(
  std::uint32_t width, std::uint32_t height,
  const std::vector<std::uint16_t> & mm)
{
  auto image = make_image(width, height, "16UC1", 2);
  std::memcpy(image->data.data(), mm.data(), image->data.size());
  return image;
}

}  // namespace

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
    label_ = declare_parameter<std::string>("label", "run");
    bad_every_ = static_cast<std::uint32_t>(std::max<std::int64_t>(
        0,
        declare_parameter<std::int64_t>("bad_every", 0)));
    report_path_ = declare_parameter<std::string>("report", "");
    watched_ = parse_watch_list(declare_parameter<std::string>("watch", ""));
    std::string config_path = declare_parameter<std::string>("config", "");
    if (config_path.empty()) {
      config_path = ament_index_cpp::get_package_share_directory("tavrinox_camera_convertor") +
        kConfigPathInShare;
    }
    std::ostringstream matrices;
    config_ = load_camera_config(config_path, matrices);
    if (width < kTagPixels || height == 0 || width > 8192 || height > 8192 || !(rate_hz_ > 0.0) ||
      rate_hz_ > 1000.0 || !(duration_s > 0.0) || duration_s > 86400.0 || !(warm_up_s >= 0.0) ||
      warm_up_s > 3600.0)
    {
      throw std::invalid_argument(
              "stream benchmark: width 8..8192, height 1..8192, rate_hz up to 1000, "
              "duration_s up to a day and warm_up_s up to an hour");
    }
    warm_up_sets_ = static_cast<std::uint32_t>(warm_up_s * rate_hz_);
    measured_sets_ = std::max<std::uint32_t>(1, static_cast<std::uint32_t>(duration_s * rate_hz_));
    const std::uint32_t total = warm_up_sets_ + measured_sets_;
    published_ns_.assign(total, -1);
    for (auto & received : received_ns_) {
      received.assign(total, -1);
    }

    if (role_ == "sink") {
      start_sink();
      return;
    }
    if (role_ != "bench" && role_ != "publisher") {
      throw std::invalid_argument("stream benchmark: role must be bench, publisher or sink");
    }
    depth_1_ = depth_message(width, height, synthetic_depth(width, height, hole_share, 1));
    depth_2_ = depth_message(width, height, synthetic_depth(width, height, hole_share / 10.0, 2));
    rgb_ = make_image(width, height, "rgb8", 3);
    for (std::size_t k = 0; k < rgb_->data.size(); ++k) {
      rgb_->data[k] = static_cast<std::uint8_t>(k * 31 / 7);
    }
    // Keep-last 10, reliable: what the converter subscribes with.
    for (const std::string & topic :
      {config_.rgb_topic_1, config_.depth_topic_1, config_.rgb_topic_2, config_.depth_topic_2})
    {
      inputs_.push_back(create_publisher<Image>(topic, 10));
    }
    if (role_ == "bench") {
      subscribe_outputs();
    }
    publishing_group_ = create_callback_group(rclcpp::CallbackGroupType::MutuallyExclusive);
    const std::chrono::duration<double> period(1.0 / rate_hz_);
    timer_ = create_wall_timer(
      std::chrono::duration_cast<std::chrono::nanoseconds>(period), [this] {tick();},
      publishing_group_);
    RCLCPP_INFO(
      get_logger(), "%s: %ux%u at %.1f Hz, %u warm-up sets, then %u measured",
      label_.c_str(), width, height,
      rate_hz_, warm_up_sets_, measured_sets_);
  }

private:
  /// Subscriptions of the outputs, in a group of their own so that publishing is never held up.
  void subscribe_outputs()
  {
    receiving_group_ = create_callback_group(rclcpp::CallbackGroupType::MutuallyExclusive);
    rclcpp::SubscriptionOptions options;
    options.callback_group = receiving_group_;
    for (std::size_t k = 0; k < kOutputTopics.size(); ++k) {
      const auto kind = static_cast<OutputKind>(k);
      if (kind == OutputKind::depth_image || kind == OutputKind::color_image) {
        subscriptions_.push_back(
          create_subscription<Image>(
            kOutputTopics[k], 10, [this, kind](Image::UniquePtr image) {
              receive_image(kind, *image);
            }, options));
      } else {
        subscriptions_.push_back(
          create_subscription<PointCloud2>(
            kOutputTopics[k], 10, [this, kind](PointCloud2::UniquePtr cloud) {
              receive_cloud(kind, *cloud);
            },
            options));
      }
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
    const ExtrinsicTransform & extrinsic =
      kind == OutputKind::cam2_cloud ? config_.extrinsic_2 : config_.extrinsic_1;
    const std::size_t points = cloud.point_step == 16 ? cloud.data.size() / 16 : 0;
    record(kind, read_cloud_tag(cloud.data.data(), points, extrinsic), now);
  }

  void receive_image(OutputKind kind, const Image & image)
  {
    const std::int64_t now = steady_ns();
    std::optional<std::uint32_t> set;
    if (kind == OutputKind::depth_image && image.data.size() >= 2 * kTagPixels) {
      set = read_depth_tag(image.data.data());
    } else if (kind == OutputKind::color_image && image.data.size() >= 3 * kTagPixels) {
      set = read_color_tag(image.data.data());
    }
    record(kind, set, now);
  }

  void record(OutputKind kind, std::optional<std::uint32_t> set, std::int64_t now)
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (!set || *set >= published_ns_.size() || published_ns_[*set] < 0) {
      ++untagged_;
      return;
    }
    received_ns_[static_cast<std::size_t>(kind)][*set] = now;
  }

  void tick()
  {
    const std::uint32_t total = warm_up_sets_ + measured_sets_;
    if (next_set_ < total) {
      if (next_set_ == warm_up_sets_) {
        start_window();
      }
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
    auto rgb_1 = std::make_unique<Image>(*rgb_);
    auto depth_1 = std::make_unique<Image>(*depth_1_);
    auto rgb_2 = std::make_unique<Image>(*rgb_);
    auto depth_2 = std::make_unique<Image>(*depth_2_);
    write_color_tag(set, rgb_1->data.data());
    write_depth_tag(set, depth_1->data.data());
    write_depth_tag(set, depth_2->data.data());
    if (const std::optional<BadSet> bad = bad_kind(set)) {
      spoil(*bad, *rgb_1, *depth_1, *depth_2);
    }
    const builtin_interfaces::msg::Time stamp = now();
    for (Image * image : {rgb_1.get(), depth_1.get(), rgb_2.get(), depth_2.get()}) {
      image->header.stamp = stamp;
      image->header.frame_id = "camera";
    }
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      published_ns_[set] = steady_ns();
    }
    inputs_[0]->publish(std::move(rgb_1));
    inputs_[1]->publish(std::move(depth_1));
    inputs_[2]->publish(std::move(rgb_2));
    inputs_[3]->publish(std::move(depth_2));
    if (set % static_cast<std::uint32_t>(std::max(1.0, rate_hz_)) == 0) {
      sample_memory();
    }
  }

  /// @brief The kind of bad set `set` is, if the run mixes bad sets in and this is one.
  std::optional<BadSet> bad_kind(std::uint32_t set) const
  {
    if (bad_every_ == 0 || set % bad_every_ != bad_every_ - 1) {
      return std::nullopt;
    }
    return static_cast<BadSet>((set / bad_every_) % kBadSetKinds);
  }

  void start_window()
  {
    window_start_ = SteadyClock::now();
    for (WatchedProcess & process : watched_) {
      const std::optional<ProcessUsage> usage = read_process_usage(process.pid);
      process.at_start = usage.value_or(ProcessUsage{});
      process.resident_min_kib = process.at_start.resident_kib;
      process.resident_max_kib = process.at_start.resident_kib;
    }
  }

  void sample_memory()
  {
    if (next_set_ <= warm_up_sets_) {
      return;
    }
    std::vector<std::int64_t> row = {
      std::chrono::duration_cast<std::chrono::milliseconds>(SteadyClock::now() - window_start_)
      .count()};
    for (WatchedProcess & process : watched_) {
      const std::optional<ProcessUsage> usage = read_process_usage(process.pid);
      row.push_back(usage ? usage->resident_kib : -1);
      if (usage) {
        process.resident_min_kib = std::min(process.resident_min_kib, usage->resident_kib);
        process.resident_max_kib = std::max(process.resident_max_kib, usage->resident_kib);
      }
    }
    memory_samples_.push_back(std::move(row));
  }

  /// Resident memory of every watched process, about once a second: a plateau after a peak and
  /// steady growth look alike in the minimum and maximum alone.
  void write_memory_timeline(const std::string & path) const
  {
    std::ofstream csv(path);
    csv << "ms";
    for (const WatchedProcess & process : watched_) {
      csv << ',' << process.name << "_rss_kib";
    }
    csv << '\n';
    for (const std::vector<std::int64_t> & row : memory_samples_) {
      for (std::size_t k = 0; k < row.size(); ++k) {
        csv << (k == 0 ? "" : ",") << row[k];
      }
      csv << '\n';
    }
  }

  /// Delivery and latency of each output over the good sets, and what came of the bad ones.
  void report_outputs(std::ostringstream & text) const
  {
    const double publishing_s = measured_sets_ / rate_hz_;
    std::uint32_t good_sets = 0;
    std::uint32_t whole = 0;
    std::uint32_t bad_sets = 0;
    std::uint32_t bad_as_expected = 0;
    std::array<std::vector<double>, 5> latencies;
    for (std::uint32_t set = warm_up_sets_; set < warm_up_sets_ + measured_sets_; ++set) {
      OutputSet arrived;
      for (std::size_t k = 0; k < kOutputNames.size(); ++k) {
        if (received_ns_[k][set] >= 0) {
          arrived = arrived.with(static_cast<OutputKind>(k));
        }
      }
      if (const std::optional<BadSet> bad = bad_kind(set)) {
        ++bad_sets;
        bad_as_expected += arrived == outputs_of_bad_set(*bad);
        continue;
      }
      ++good_sets;
      whole += arrived == OutputSet::all();
      for (std::size_t k = 0; k < kOutputNames.size(); ++k) {
        if (received_ns_[k][set] >= 0) {
          latencies[k].push_back(
            static_cast<double>(received_ns_[k][set] - published_ns_[set]) / 1e6);
        }
      }
    }
    for (std::size_t k = 0; k < kOutputNames.size(); ++k) {
      const LatencySummary summary = summarize_latencies(latencies[k]);
      char line[512];
      std::snprintf(
        line, sizeof line,
        "output=%s received=%zu delivered=%.1f%% p50_ms=%.1f p90_ms=%.1f p99_ms=%.1f "
        "max_ms=%.1f rate_hz=%.2f\n",
        kOutputNames[k], latencies[k].size(),
        100.0 * latencies[k].size() / std::max(1u, good_sets),
        summary.p50, summary.p90, summary.p99, summary.max, latencies[k].size() / publishing_s);
      text << line;
    }
    char line[256];
    std::snprintf(
      line, sizeof line, "whole_sets=%u of %u (%.1f%%) untagged=%zu\n", whole, good_sets,
      100.0 * whole / std::max(1u, good_sets), untagged_);
    text << line;
    if (bad_sets > 0) {
      std::snprintf(
        line, sizeof line, "bad_sets=%u gave_what_they_should=%u\n", bad_sets, bad_as_expected);
      text << line;
    }
  }

  void report()
  {
    const double window_s =
      std::chrono::duration<double>(SteadyClock::now() - window_start_).count();
    std::ostringstream text;
    text << "stream " << label_ << ": role=" << role_;
    text << " size=" << depth_1_->width << "x" << depth_1_->height << " rate_hz=" << rate_hz_;
    text << " measured_sets=" << measured_sets_ << " warm_up_sets=" << warm_up_sets_ << "\n";
    const std::lock_guard<std::mutex> lock(mutex_);
    if (role_ == "bench") {
      report_outputs(text);
    }
    for (const WatchedProcess & process : watched_) {
      const std::optional<ProcessUsage> end = read_process_usage(process.pid);
      if (!end) {
        text << "process=" << process.name << " pid=" << process.pid << " gone\n";
        continue;
      }
      const double growth = process.resident_min_kib > 0 ?
        100.0 * (process.resident_max_kib - process.resident_min_kib) /
        process.resident_min_kib : 0.0;
      char line[512];
      std::snprintf(
        line, sizeof line,
        "process=%s pid=%d cpu_ms_per_set=%.2f rss_start_kib=%" PRId64 " rss_end_kib=%" PRId64
        " rss_min_kib=%" PRId64 " rss_max_kib=%" PRId64 " rss_spread=%.2f%% window_s=%.1f\n",
        process.name.c_str(), static_cast<int>(process.pid),
        (end->cpu_ms - process.at_start.cpu_ms) / measured_sets_, process.at_start.resident_kib,
        end->resident_kib, process.resident_min_kib, process.resident_max_kib, growth, window_s);
      text << line;
    }
    std::fputs(text.str().c_str(), stdout);
    std::fflush(stdout);
    if (!report_path_.empty()) {
      std::ofstream(report_path_) << text.str();
      write_set_timeline(report_path_ + ".sets.csv");
      write_memory_timeline(report_path_ + ".memory.csv");
    }
  }

  /// Every measured set on a line of its own: when it was published and when each output came,
  /// to tell outliers spread over the run from a stall that held many sets at once.
  void write_set_timeline(const std::string & path) const
  {
    if (role_ != "bench" || published_ns_.size() <= warm_up_sets_) {
      return;
    }
    std::ofstream csv(path);
    csv << "set,published_ms,bad";
    for (const char * name : kOutputNames) {
      csv << ',' << name << "_ms";
    }
    csv << '\n';
    const std::int64_t origin = published_ns_[warm_up_sets_];
    for (std::uint32_t set = warm_up_sets_; set < warm_up_sets_ + measured_sets_; ++set) {
      if (published_ns_[set] < 0) {
        continue;
      }
      csv << set << ',' << (published_ns_[set] - origin) / 1e6 << ',' << bad_kind(set).has_value();
      for (const auto & received : received_ns_) {
        csv << ',';
        if (received[set] >= 0) {
          csv << (received[set] - published_ns_[set]) / 1e6;
        }
      }
      csv << '\n';
    }
  }

  std::string role_;
  std::string label_;
  std::string report_path_;
  double rate_hz_ = 10.0;
  CameraConfig config_;
  std::uint32_t warm_up_sets_ = 0;
  std::uint32_t measured_sets_ = 0;
  std::uint32_t bad_every_ = 0;
  std::uint32_t next_set_ = 0;
  int ticks_after_last_ = 0;
  SteadyClock::time_point window_start_;
  std::vector<WatchedProcess> watched_;
  /// a row per sample: milliseconds into the window, then each watched process's KiB
  std::vector<std::vector<std::int64_t>> memory_samples_;

  std::unique_ptr<Image> depth_1_;
  std::unique_ptr<Image> depth_2_;
  std::unique_ptr<Image> rgb_;
  std::vector<rclcpp::Publisher<Image>::SharedPtr> inputs_;
  std::vector<rclcpp::SubscriptionBase::SharedPtr> subscriptions_;
  rclcpp::CallbackGroup::SharedPtr publishing_group_;
  rclcpp::CallbackGroup::SharedPtr receiving_group_;
  rclcpp::TimerBase::SharedPtr timer_;

  std::mutex mutex_;  ///< between the publishing and the receiving callbacks
  std::vector<std::int64_t> published_ns_;
  std::array<std::vector<std::int64_t>, 5> received_ns_;
  std::size_t untagged_ = 0;
};

}  // namespace tavrinox_camera_convertor

RCLCPP_COMPONENTS_REGISTER_NODE(tavrinox_camera_convertor::StreamBenchmark)
