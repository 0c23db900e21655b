// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// The streaming benchmark as a component: a stand-in for both cameras that publishes tagged
// frame sets at a fixed rate, and a consumer of the converter's five outputs that times each
// one from its set's publication. Loaded into a container beside the converter, or in a
// process of its own, it reports and then shuts its process down. A run may be split into two
// windows with a pause between them, in which another consumer (on another host, say) joins,
// so that one run measures the converter without and with it.
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
#include <diagnostic_msgs/msg/diagnostic_array.hpp>
#include <rclcpp/rclcpp.hpp>
#include <rclcpp_components/register_node_macro.hpp>
#include <sensor_msgs/msg/image.hpp>
#include <sensor_msgs/msg/point_cloud2.hpp>

#include "data_hash.hpp"
#include "latency_summary.hpp"
#include "link_counters.hpp"
#include "process_usage.hpp"
#include "remote_figures.hpp"
#include "set_tag.hpp"
#include "synthetic_depth.hpp"
#include "tavrinox_camera_convertor/geometry/camera_config.hpp"
#include "tavrinox_camera_convertor/pipeline/output_set.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

using sensor_msgs::msg::Image;
using sensor_msgs::msg::PointCloud2;
using SteadyClock = std::chrono::steady_clock;

constexpr std::array<const char *, 5> kOutputTopics = {
  "/tavrinox_camera_convertor/cam1_cloud", "/tavrinox_camera_convertor/cam2_cloud",
  "/camera_02/depth/converted_image", "/camera_02/color/converted_image",
  "/tavrinox_camera_convertor/converted_cloud"};

/// A process whose CPU time and memory the report gives, named for the table.
struct WatchedProcess
{
  std::string name;
  pid_t pid = 0;
  std::int64_t resident_min_kib = 0;
  std::int64_t resident_max_kib = 0;
};

/// "node:1234,sink:1240" into its processes; this process itself is always watched as "self".
std::vector<WatchedProcess> parse_watch_list(const std::string & text)
{
  std::vector<WatchedProcess> processes = {{"self", getpid(), 0, 0}};
  std::stringstream items(text);
  std::string item;
  while (std::getline(items, item, ',')) {
    const auto colon = item.find(':');
    if (colon == std::string::npos) {
      throw std::invalid_argument("watch: expected name:pid, got \"" + item + "\"");
    }
    const auto pid = static_cast<pid_t>(std::stol(item.substr(colon + 1)));
    processes.push_back({item.substr(0, colon), pid, 0, 0});
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

/// What the node's subtopics have done, by OutputKind, as its diagnostics last said.
using SubtopicSnapshot = std::array<std::optional<SubtopicCounts>, 5>;

/// The node's names of its outputs in its diagnostics keys, in OutputKind order.
constexpr std::array<const char *, 5> kDiagnosticsNames = {
  "cam1_cloud", "cam2_cloud", "depth image", "colour image", "converted_cloud"};
constexpr const char * kSubtopicsKey = "compressed subtopics of the ";

/// The measured part of a run, with what every watched process, the link and the node's
/// subtopics had done at its start and its end.
struct Window
{
  std::string name;   ///< empty when the run has one window
  SetRange sets;
  SteadyClock::time_point started;
  SteadyClock::time_point ended;
  bool has_ended = false;
  std::vector<std::optional<ProcessUsage>> usage_at_start;
  std::vector<std::optional<ProcessUsage>> usage_at_end;
  std::optional<LinkCounters> link_at_start;
  std::optional<LinkCounters> link_at_end;
  SubtopicSnapshot subtopics_at_start;
  SubtopicSnapshot subtopics_at_end;
};

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
    plan_windows(measured, static_cast<std::uint32_t>(join_settle_s * rate_hz_), window_count);
    const std::uint32_t total = windows_.back().sets.end;
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
    const unsigned frames = noisy_depth ? 4 : 1;
    for (unsigned k = 0; k < frames; ++k) {
      const auto depth = noisy_depth ? noisy_synthetic_depth : synthetic_depth;
      depth_1_.push_back(depth_message(width, height, depth(width, height, hole_share, 1 + 2 * k)));
      depth_2_.push_back(
        depth_message(width, height, depth(width, height, hole_share / 10.0, 2 + 2 * k)));
    }
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
      get_logger(), "%s: %ux%u at %.1f Hz, %u warm-up sets, then %zu window(s) of %u measured",
      label_.c_str(), width, height, rate_hz_, warm_up_sets_, windows_.size(), measured);
  }

private:
  /// The measured windows: one right after the warm-up, or two with `settle` sets between them.
  void plan_windows(std::uint32_t measured, std::uint32_t settle, std::int64_t count)
  {
    Window first;
    first.sets = {warm_up_sets_, warm_up_sets_ + measured};
    if (count == 1) {
      windows_.push_back(first);
      return;
    }
    first.name = "first";
    Window second;
    second.name = "second";
    second.sets = {first.sets.end + settle, first.sets.end + settle + measured};
    windows_.push_back(first);
    windows_.push_back(second);
  }

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
    if (windows_.size() > 1) {
      // What the node's subtopics sent and skipped in each window, for consumers elsewhere.
      subscriptions_.push_back(
        create_subscription<diagnostic_msgs::msg::DiagnosticArray>(
          "/diagnostics", 10, [this](diagnostic_msgs::msg::DiagnosticArray::UniquePtr array) {
            note_diagnostics(*array);
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
    const ExtrinsicTransform & extrinsic =
      kind == OutputKind::cam2_cloud ? config_.extrinsic_2 : config_.extrinsic_1;
    const std::size_t points = cloud.point_step == 16 ? cloud.data.size() / 16 : 0;
    record(
      kind, read_cloud_tag(cloud.data.data(), points, extrinsic), now, cloud.header.stamp,
      cloud.data);
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
    record(kind, set, now, image.header.stamp, image.data);
  }

  void record(
    OutputKind kind, std::optional<std::uint32_t> set, std::int64_t now,
    const builtin_interfaces::msg::Time & stamp, const std::vector<std::uint8_t> & data)
  {
    OutputRecord seen;
    if (!outputs_csv_.empty() && set) {
      seen.set = *set;
      seen.output = static_cast<std::uint32_t>(kind);
      seen.stamp_ns = static_cast<std::int64_t>(stamp.sec) * 1000000000 + stamp.nanosec;
      seen.received_ns = system_ns();
      seen.bytes = data.size();
      seen.hash = hash_bytes(data.data(), data.size());
    }
    const std::lock_guard<std::mutex> lock(mutex_);
    if (!set || *set >= published_ns_.size() || published_ns_[*set] < 0) {
      ++untagged_;
      return;
    }
    received_ns_[static_cast<std::size_t>(kind)][*set] = now;
    if (!outputs_csv_.empty()) {
      records_.push_back(seen);
    }
  }

  void note_diagnostics(const diagnostic_msgs::msg::DiagnosticArray & array)
  {
    SubtopicSnapshot snapshot;
    bool found = false;
    for (const auto & status : array.status) {
      for (const auto & value : status.values) {
        if (value.key.rfind(kSubtopicsKey, 0) != 0) {
          continue;
        }
        const std::string name = value.key.substr(std::string(kSubtopicsKey).size());
        for (std::size_t k = 0; k < kDiagnosticsNames.size(); ++k) {
          if (name == kDiagnosticsNames[k]) {
            snapshot[k] = parse_subtopic_counts(value.value);
            found = true;
          }
        }
      }
    }
    if (found) {
      const std::lock_guard<std::mutex> lock(mutex_);
      subtopics_ = snapshot;
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

  std::vector<std::optional<ProcessUsage>> usage_now() const
  {
    std::vector<std::optional<ProcessUsage>> usage;
    for (const WatchedProcess & process : watched_) {
      usage.push_back(read_process_usage(process.pid));
    }
    return usage;
  }

  std::optional<LinkCounters> link_now() const
  {
    return link_interface_.empty() ? std::nullopt : read_link_counters(link_interface_);
  }

  void start_window(Window & window)
  {
    window.started = SteadyClock::now();
    window.usage_at_start = usage_now();
    window.link_at_start = link_now();
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      window.subtopics_at_start = subtopics_;
    }
    if (&window == &windows_.front()) {
      memory_origin_ = window.started;
      for (std::size_t k = 0; k < watched_.size(); ++k) {
        const std::int64_t resident =
          window.usage_at_start[k] ? window.usage_at_start[k]->resident_kib : 0;
        watched_[k].resident_min_kib = resident;
        watched_[k].resident_max_kib = resident;
      }
    }
  }

  /// At the set after a window's last, or one period after the last set of the run.
  void end_window(Window & window)
  {
    window.ended = SteadyClock::now();
    window.has_ended = true;
    window.usage_at_end = usage_now();
    window.link_at_end = link_now();
    const std::lock_guard<std::mutex> lock(mutex_);
    window.subtopics_at_end = subtopics_;
  }

  void sample_memory()
  {
    if (next_set_ <= warm_up_sets_) {
      return;
    }
    std::vector<std::int64_t> row = {
      std::chrono::duration_cast<std::chrono::milliseconds>(SteadyClock::now() - memory_origin_)
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

  /// Latencies after the outputs' own stamps, for outputs that other hosts time the same way.
  std::string stamp_latency(std::size_t output, const SetRange & sets) const
  {
    if (outputs_csv_.empty()) {
      return "";
    }
    const OutputFigures figures = output_figures(records_, output, sets);
    char text[96];
    std::snprintf(
      text, sizeof text, " stamp_p50_ms=%.1f stamp_p99_ms=%.1f", figures.latency.p50,
      figures.latency.p99);
    return text;
  }

  /// Delivery and latency of each output over the good sets, and what came of the bad ones.
  void report_outputs(const Window & window, const std::string & prefix, std::ostringstream & text)
  const
  {
    const double publishing_s = window.sets.size() / rate_hz_;
    std::uint32_t good_sets = 0;
    std::uint32_t whole = 0;
    std::uint32_t bad_sets = 0;
    std::uint32_t bad_as_expected = 0;
    std::array<std::vector<double>, 5> latencies;
    for (std::uint32_t set = window.sets.first; set < window.sets.end; ++set) {
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
        "%soutput=%s received=%zu delivered=%.1f%% p50_ms=%.1f p90_ms=%.1f p99_ms=%.1f "
        "max_ms=%.1f rate_hz=%.2f%s\n",
        prefix.c_str(), kOutputNames[k], latencies[k].size(),
        100.0 * latencies[k].size() / std::max(1u, good_sets),
        summary.p50, summary.p90, summary.p99, summary.max, latencies[k].size() / publishing_s,
        stamp_latency(k, window.sets).c_str());
      text << line;
    }
    char line[256];
    std::snprintf(
      line, sizeof line, "%swhole_sets=%u of %u (%.1f%%) untagged=%zu\n", prefix.c_str(), whole,
      good_sets, 100.0 * whole / std::max(1u, good_sets), untagged_);
    text << line;
    if (bad_sets > 0) {
      std::snprintf(
        line, sizeof line, "%sbad_sets=%u gave_what_they_should=%u\n", prefix.c_str(), bad_sets,
        bad_as_expected);
      text << line;
    }
  }

  void report_processes(
    const Window & window, const std::string & prefix, std::ostringstream & text) const
  {
    const double window_s = std::chrono::duration<double>(window.ended - window.started).count();
    for (std::size_t k = 0; k < watched_.size(); ++k) {
      const WatchedProcess & process = watched_[k];
      const std::optional<ProcessUsage> & start = window.usage_at_start[k];
      const std::optional<ProcessUsage> & end = window.usage_at_end[k];
      if (!start || !end) {
        text << prefix << "process=" << process.name << " pid=" << process.pid << " gone\n";
        continue;
      }
      const double growth = process.resident_min_kib > 0 ?
        100.0 * (process.resident_max_kib - process.resident_min_kib) /
        process.resident_min_kib : 0.0;
      char line[512];
      std::snprintf(
        line, sizeof line,
        "%sprocess=%s pid=%d cpu_ms_per_set=%.2f rss_start_kib=%" PRId64 " rss_end_kib=%" PRId64
        " rss_min_kib=%" PRId64 " rss_max_kib=%" PRId64 " rss_spread=%.2f%% window_s=%.1f\n",
        prefix.c_str(), process.name.c_str(), static_cast<int>(process.pid),
        (end->cpu_ms - start->cpu_ms) / window.sets.size(), start->resident_kib,
        end->resident_kib, process.resident_min_kib, process.resident_max_kib, growth, window_s);
      text << line;
    }
  }

  /// What the link to other hosts carried in a window, per set published.
  void report_link(const Window & window, const std::string & prefix, std::ostringstream & text)
  const
  {
    if (!window.link_at_start || !window.link_at_end) {
      return;
    }
    const LinkCounters used = *window.link_at_end - *window.link_at_start;
    const double sets = window.sets.size();
    const double window_s = std::chrono::duration<double>(window.ended - window.started).count();
    char line[512];
    std::snprintf(
      line, sizeof line,
      "%slink=%s tx_bytes_per_set=%.0f rx_bytes_per_set=%.0f tx_packets_per_set=%.1f "
      "rx_packets_per_set=%.1f tx_mbit_s=%.1f tx_dropped=%" PRIu64 " rx_dropped=%" PRIu64 "\n",
      prefix.c_str(), link_interface_.c_str(), used.tx_bytes / sets, used.rx_bytes / sets,
      used.tx_packets / sets, used.rx_packets / sets,
      window_s > 0.0 ? 8.0 * used.tx_bytes / window_s / 1e6 : 0.0, used.tx_dropped,
      used.rx_dropped);
    text << line;
  }

  /// What the node's compressed subtopics sent and skipped in a window, from its diagnostics.
  void report_subtopics(
    const Window & window, const std::string & prefix, std::ostringstream & text) const
  {
    for (std::size_t k = 0; k < kOutputNames.size(); ++k) {
      const auto & start = window.subtopics_at_start[k];
      const auto & end = window.subtopics_at_end[k];
      if (!end) {
        continue;
      }
      const SubtopicCounts before = start.value_or(SubtopicCounts{});
      const std::uint64_t sent = end->sent - before.sent;
      // The node gives a running mean; the window's own follows from the totals.
      const double busy_ms = end->ms_each * static_cast<double>(end->sent) -
        before.ms_each * static_cast<double>(before.sent);
      char line[256];
      std::snprintf(
        line, sizeof line,
        "%ssubtopics=%s sent=%" PRIu64 " skipped=%" PRIu64 " ms_each=%.1f\n", prefix.c_str(),
        kOutputNames[k], sent, end->skipped - before.skipped,
        sent > 0 ? busy_ms / static_cast<double>(sent) : 0.0);
      text << line;
    }
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
        report_outputs(window, prefix, text);
      }
      report_processes(window, prefix, text);
      report_link(window, prefix, text);
      report_subtopics(window, prefix, text);
    }
    std::fputs(text.str().c_str(), stdout);
    std::fflush(stdout);
    if (!outputs_csv_.empty()) {
      std::ofstream csv(outputs_csv_);
      write_output_records(csv, records_);
    }
    if (!report_path_.empty()) {
      write_set_timeline(report_path_ + ".sets.csv");
      write_memory_timeline(report_path_ + ".memory.csv");
      // Last: the script waits for this file and then reads the others.
      std::ofstream(report_path_) << text.str();
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
    for (std::uint32_t set = warm_up_sets_; set < published_ns_.size(); ++set) {
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

  static std::int64_t system_ns()
  {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
      std::chrono::system_clock::now().time_since_epoch()).count();
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
  SteadyClock::time_point memory_origin_;
  std::vector<WatchedProcess> watched_;
  /// a row per sample: milliseconds into the first window, then each watched process's KiB
  std::vector<std::vector<std::int64_t>> memory_samples_;

  std::vector<std::unique_ptr<Image>> depth_1_;   ///< frames in turn, one per set
  std::vector<std::unique_ptr<Image>> depth_2_;
  std::unique_ptr<Image> rgb_;
  std::vector<rclcpp::Publisher<Image>::SharedPtr> inputs_;
  std::vector<rclcpp::SubscriptionBase::SharedPtr> subscriptions_;
  rclcpp::CallbackGroup::SharedPtr publishing_group_;
  rclcpp::CallbackGroup::SharedPtr receiving_group_;
  rclcpp::TimerBase::SharedPtr timer_;

  mutable std::mutex mutex_;  ///< between the publishing and the receiving callbacks
  std::vector<std::int64_t> published_ns_;
  std::array<std::vector<std::int64_t>, 5> received_ns_;
  std::size_t untagged_ = 0;
  std::vector<OutputRecord> records_;   ///< with outputs_csv: every output received
  SubtopicSnapshot subtopics_;
};

}  // namespace tavrinox_camera_convertor

RCLCPP_COMPONENTS_REGISTER_NODE(tavrinox_camera_convertor::StreamBenchmark)
