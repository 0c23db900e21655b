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
#include <cstdlib>
#include <fstream>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include <ament_index_cpp/get_package_share_directory.hpp>
#include <diagnostic_msgs/msg/diagnostic_array.hpp>
#include <rclcpp/rclcpp.hpp>
#include <rclcpp_components/register_node_macro.hpp>
#include <sensor_msgs/msg/image.hpp>
#include <sensor_msgs/msg/point_cloud2.hpp>

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

constexpr std::int64_t kMillisecond = 1000000;
constexpr std::int64_t kSecond = 1000 * kMillisecond;

constexpr std::array<const char *, 5> kOutputTopics = {
  "/tavrinox_camera_convertor/cam1_cloud", "/tavrinox_camera_convertor/cam2_cloud",
  "/camera_02/depth/converted_image", "/camera_02/color/converted_image",
  "/tavrinox_camera_convertor/converted_cloud"};

/// Inputs in the synchronizer's order, as the images are indexed here.
constexpr std::size_t kInputs = 4;

std::int64_t system_ns()
{
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
    std::chrono::system_clock::now().time_since_epoch()).count();
}

/// One image of a run: when it is sent and what it says.
struct PlannedImage
{
  std::int64_t due_ns = 0;    ///< after the stream's start
  std::int64_t stamp_ns = 0;  ///< after the stream's start, on the camera's own clock
  std::uint32_t set = 0;
  std::size_t input = 0;
};

/// A whole run: its images in the order they are sent, and which sets it counts.
struct Plan
{
  std::vector<PlannedImage> images;
  std::uint32_t sets = 0;  ///< planned, 0 .. sets - 1
  std::uint32_t first_measured = 0;
  std::uint32_t end_measured = 0;
  std::vector<std::uint8_t> sent;  ///< per set, a bit per input that is sent
  /// When camera 2 falls silent and comes back, after the start; for `silence`.
  std::int64_t silent_from_ns = -1;
  std::int64_t silent_until_ns = -1;
};

/// How the stand-in cameras run and what befalls their images.
struct Faults
{
  std::string scenario;
  double rate_hz = 10.0;
  std::uint32_t warm_up_sets = 20;
  std::uint32_t sets = 300;
  std::uint32_t tail_sets = 3;
  double loss = 0.0;
  double camera_2_offset = 0.0;      ///< of the period
  std::int64_t stamp_jitter_ns = 0;  ///< either way
  std::int64_t arrival_jitter_ns = 0;  ///< up to, after capture
  std::int64_t clock_offset_ns = 0;  ///< of camera 2's stamps
  std::int64_t silence_ns = 0;       ///< of camera 2, from 2 s into the measured sets on
  unsigned seed = 1;
};

/// @brief The images of a run with `faults`, in the order they are due.
Plan make_plan(const Faults & faults)
{
  const auto period = static_cast<std::int64_t>(1e9 / faults.rate_hz);
  // The first images leave a little after the start, so none is due before it.
  const std::int64_t lead = 100 * kMillisecond;
  Plan plan;
  plan.first_measured = faults.warm_up_sets;
  plan.end_measured = faults.warm_up_sets + faults.sets;
  plan.sets = plan.end_measured + faults.tail_sets;
  plan.sent.assign(plan.sets, 0x0f);
  if (faults.silence_ns > 0) {
    plan.silent_from_ns = lead + faults.warm_up_sets * period + 2 * kSecond;
    plan.silent_until_ns = plan.silent_from_ns + faults.silence_ns;
  }
  std::mt19937 random(faults.seed);
  std::bernoulli_distribution lost(faults.loss);
  std::uniform_int_distribution<std::int64_t> jitter(
    -faults.stamp_jitter_ns, faults.stamp_jitter_ns);
  std::uniform_int_distribution<std::int64_t> delay(0, faults.arrival_jitter_ns);
  for (std::uint32_t set = 0; set < plan.sets; ++set) {
    const bool measured = set >= plan.first_measured && set < plan.end_measured;
    for (std::size_t input = 0; input < kInputs; ++input) {
      const bool camera_2 = input >= 2;
      const std::int64_t capture = lead + set * period +
        (camera_2 ? static_cast<std::int64_t>(faults.camera_2_offset * period) : 0);
      PlannedImage image;
      image.set = set;
      image.input = input;
      image.due_ns = capture + delay(random);
      image.stamp_ns = capture + jitter(random) + (camera_2 ? faults.clock_offset_ns : 0);
      // Drawn for every image, so that the other draws do not depend on the loss.
      const bool dropped = lost(random);
      const bool silent = camera_2 && capture >= plan.silent_from_ns &&
        capture < plan.silent_until_ns;
      if ((measured && dropped) || silent) {
        plan.sent[set] &= static_cast<std::uint8_t>(~(1u << input));
        continue;
      }
      plan.images.push_back(image);
    }
  }
  std::stable_sort(
    plan.images.begin(), plan.images.end(), [](const PlannedImage & a, const PlannedImage & b) {
      return a.due_ns < b.due_ns;
    });
  return plan;
}

/// One output as it arrived: the node's stamp, its kind and the set its tag names.
struct ReceivedOutput
{
  std::int64_t stamp_ns;
  std::size_t kind;
  std::optional<std::uint32_t> set;
};

/// The figures of the converter's diagnostics kept here: its four inputs' rates, in the
/// synchronizer's order, and the sets it processed per second.
constexpr std::array<const char *, 5> kRateKeys = {
  "camera 1 colour rate (Hz)", "camera 1 depth rate (Hz)", "camera 2 colour rate (Hz)",
  "camera 2 depth rate (Hz)", "sets processed (per second)"};

struct NodeStatus
{
  std::int64_t time_ns;  ///< system time of arrival
  std::array<double, kRateKeys.size()> rates;
};

/// One frame of the node: the set each of its five outputs names, if that output came.
struct NodeFrame
{
  std::array<std::optional<std::uint32_t>, 5> sets;
  std::array<bool, 5> present{};

  bool whole() const {return std::all_of(present.begin(), present.end(), [](bool p) {return p;});}

  /// @brief The one set all outputs that came name; none if they disagree or one names none.
  std::optional<std::uint32_t> single_set() const
  {
    std::optional<std::uint32_t> found;
    for (std::size_t k = 0; k < sets.size(); ++k) {
      if (!present[k]) {
        continue;
      }
      if (!sets[k] || (found && *found != *sets[k])) {
        return std::nullopt;
      }
      found = sets[k];
    }
    return found;
  }
};

/// @brief The outputs grouped into the node's frames. Each output is stamped from the node's
///        clock as it is made, cam1 cloud first and converted cloud last, so in stamp order a
///        frame ends where the order of the kinds starts again, whatever sets they name.
std::vector<NodeFrame> group_frames(std::vector<ReceivedOutput> outputs)
{
  std::sort(
    outputs.begin(), outputs.end(), [](const ReceivedOutput & a, const ReceivedOutput & b) {
      return std::tie(a.stamp_ns, a.kind) < std::tie(b.stamp_ns, b.kind);
    });
  std::vector<NodeFrame> frames;
  std::optional<std::size_t> previous;
  for (const ReceivedOutput & output : outputs) {
    if (!previous || output.kind <= *previous) {
      frames.emplace_back();
    }
    frames.back().present[output.kind] = true;
    frames.back().sets[output.kind] = output.set;
    previous = output.kind;
  }
  return frames;
}

/// A line of the node's log: "[WARN] [1765300000.123456789] [Morvanteq]: text".
struct LogLine
{
  std::string level;
  std::int64_t time_ns = 0;  ///< system time
  std::string text;
};

std::vector<LogLine> read_log(const std::string & path)
{
  std::vector<LogLine> lines;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    char level[16] = {};
    long long seconds = 0;  // NOLINT(runtime/int): sscanf's own type
    char fraction[16] = {};
    int consumed = 0;
    if (std::sscanf(
        line.c_str(), "[%15[A-Z]] [%lld.%15[0-9]] [%*[^]]]: %n", level, &seconds, fraction,
        &consumed) < 3 || consumed == 0)
    {
      continue;
    }
    std::string nanoseconds = fraction;
    nanoseconds.resize(9, '0');
    lines.push_back(
      {level, static_cast<std::int64_t>(seconds) * kSecond + std::stoll(nanoseconds),
        line.substr(static_cast<std::size_t>(consumed))});
  }
  return lines;
}

/// @brief The first line at `level` from `after` on that contains `text`.
std::optional<LogLine> first_line(
  const std::vector<LogLine> & lines, const std::string & level, const std::string & text,
  std::int64_t after)
{
  for (const LogLine & line : lines) {
    if (line.level == level && line.time_ns >= after && line.text.find(text) != std::string::npos) {
      return line;
    }
  }
  return std::nullopt;
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

std::string seconds_text(std::int64_t ns)
{
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", static_cast<double>(ns) / 1e9);
  return text;
}

}  // namespace

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
    max_set_interval_s_ = declare_parameter<double>("max_set_interval", -1.0);
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
    const std::string & scenario = faults_.scenario;
    if (scenario == "loss") {
      faults_.camera_2_offset = 0.0;
      faults_.stamp_jitter_ns = 0;
      faults_.arrival_jitter_ns = std::min<std::int64_t>(
        faults_.arrival_jitter_ns,
        10 * kMillisecond);
    } else if (scenario == "free_running") {
      faults_.loss = 0.0;
    } else if (scenario == "clock_offset") {
      faults_.loss = 0.0;
      faults_.warm_up_sets = 0;
      faults_.stamp_jitter_ns = 0;
      faults_.arrival_jitter_ns = 0;
      faults_.clock_offset_ns = static_cast<std::int64_t>(clock_offset_s * 1e9);
    } else if (scenario == "silence") {
      faults_.loss = 0.0;
      faults_.stamp_jitter_ns = 0;
      faults_.arrival_jitter_ns = 0;
      faults_.silence_ns = static_cast<std::int64_t>(silence_s * 1e9);
    } else {
      throw std::invalid_argument(
              "fault benchmark: scenario must be loss, free_running, clock_offset or silence");
    }
    plan_ = make_plan(faults_);

    std::string config_path = ament_index_cpp::get_package_share_directory(
      "tavrinox_camera_convertor") + kConfigPathInShare;
    std::ostringstream matrices;
    config_ = load_camera_config(config_path, matrices);
    depth_[0] = make_image(width, height, "16UC1", 2);
    depth_[1] = make_image(width, height, "16UC1", 2);
    for (std::size_t camera = 0; camera < 2; ++camera) {
      const std::vector<std::uint16_t> mm =
        synthetic_depth(width, height, camera == 0 ? 0.1 : 0.01, static_cast<unsigned>(camera + 1));
      std::copy(
        reinterpret_cast<const std::uint8_t *>(mm.data()),
        reinterpret_cast<const std::uint8_t *>(mm.data() + mm.size()),
        depth_[camera]->data.begin());
    }
    rgb_ = make_image(width, height, "rgb8", 3);
    for (std::size_t k = 0; k < rgb_->data.size(); ++k) {
      rgb_->data[k] = static_cast<std::uint8_t>(k * 31 / 7);
    }
    for (const std::string & topic :
      {config_.rgb_topic_1, config_.depth_topic_1, config_.rgb_topic_2, config_.depth_topic_2})
    {
      inputs_.push_back(create_publisher<Image>(topic, 10));
    }
    subscribe_outputs();
    watch_diagnostics();
    RCLCPP_INFO(
      get_logger(), "%s: %s, %ux%u at %.1f Hz, %u warm-up sets, %u measured", label_.c_str(),
      scenario.c_str(), width, height, faults_.rate_hz, faults_.warm_up_sets, faults_.sets);
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
  /// Subscriptions of the outputs, in a group of their own so that they never wait for sending.
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
            kOutputTopics[k], 10, [this, k](Image::UniquePtr image) {
              std::optional<std::uint32_t> set;
              if (k == static_cast<std::size_t>(OutputKind::depth_image)) {
                set = image->data.size() >= 2 * kTagPixels ?
                read_depth_tag(image->data.data()) : std::nullopt;
              } else {
                set = image->data.size() >= 3 * kTagPixels ?
                read_color_tag(image->data.data()) : std::nullopt;
              }
              record(image->header.stamp, k, set);
            }, options));
      } else {
        subscriptions_.push_back(
          create_subscription<PointCloud2>(
            kOutputTopics[k], 10, [this, k](PointCloud2::UniquePtr cloud) {
              const ExtrinsicTransform & extrinsic =
              k == static_cast<std::size_t>(OutputKind::cam2_cloud) ?
              config_.extrinsic_2 : config_.extrinsic_1;
              const std::size_t points = cloud->point_step == 16 ? cloud->data.size() / 16 : 0;
              record(cloud->header.stamp, k, read_cloud_tag(cloud->data.data(), points, extrinsic));
            }, options));
      }
    }
  }

  /// The converter's own account, once a second: whether its inputs or its pairing stopped
  /// when outputs do.
  void watch_diagnostics()
  {
    rclcpp::SubscriptionOptions options;
    options.callback_group = receiving_group_;
    diagnostics_ = create_subscription<diagnostic_msgs::msg::DiagnosticArray>(
      "/diagnostics", 10, [this](diagnostic_msgs::msg::DiagnosticArray::UniquePtr array) {
        for (const auto & status : array->status) {
          if (status.name != "Morvanteq: pairing and conversion") {
            continue;
          }
          NodeStatus kept{system_ns(), {}};
          for (const auto & value : status.values) {
            const auto found = std::find(kRateKeys.begin(), kRateKeys.end(), value.key);
            if (found != kRateKeys.end()) {
              kept.rates[static_cast<std::size_t>(found - kRateKeys.begin())] =
              std::strtod(value.value.c_str(), nullptr);
            }
          }
          const std::lock_guard<std::mutex> lock(mutex_);
          statuses_.push_back(kept);
        }
      }, options);
  }

  void record(
    const builtin_interfaces::msg::Time & stamp, std::size_t kind,
    std::optional<std::uint32_t> set)
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    outputs_.push_back(
      {static_cast<std::int64_t>(stamp.sec) * kSecond + stamp.nanosec, kind, set});
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
    start_system_ns_ = system_ns();
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
    const std::int64_t stamp = start_system_ns_ + planned.stamp_ns;
    image->header.stamp.sec = static_cast<std::int32_t>(stamp / kSecond);
    image->header.stamp.nanosec = static_cast<std::uint32_t>(stamp % kSecond);
    image->header.frame_id = "camera";
    const std::int64_t now = system_ns();
    if (first_sent_ns_ < 0) {
      first_sent_ns_ = now;
    }
    if (planned.input >= 2 && plan_.silent_until_ns >= 0 &&
      planned.due_ns >= plan_.silent_until_ns && camera_2_back_ns_ < 0)
    {
      camera_2_back_ns_ = now;
      camera_2_back_set_ = planned.set;
    }
    const SteadyClock::time_point before = SteadyClock::now();
    inputs_[planned.input]->publish(std::move(image));
    longest_publish_ = std::max(longest_publish_, SteadyClock::now() - before);
    last_sent_ns_ = system_ns();
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

  /// How the node's frames name the sets: published whole from one set, or mixed.
  struct Tally
  {
    std::vector<bool> published;  ///< per set: all five outputs of one frame, from that set only
    std::uint32_t frames = 0;
    std::uint32_t mixed_visible = 0;  ///< frames whose outputs name different sets (or none)
    std::uint32_t mixed_hidden = 0;  ///< frames of one set that lacked an image: it came from
                                     ///< elsewhere (camera 2's colour, which no output shows)
    std::uint32_t partial = 0;  ///< frames of one set with outputs missing
  };

  Tally tally() const
  {
    Tally tally;
    tally.published.assign(plan_.sets, false);
    std::vector<ReceivedOutput> outputs;
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      outputs = outputs_;
    }
    for (const NodeFrame & frame : group_frames(outputs)) {
      ++tally.frames;
      const std::optional<std::uint32_t> set = frame.single_set();
      if (!set || *set >= plan_.sets) {
        ++tally.mixed_visible;
      } else if (plan_.sent[*set] != 0x0f) {
        ++tally.mixed_hidden;
      } else if (!frame.whole()) {
        ++tally.partial;
      } else {
        tally.published[*set] = true;
      }
    }
    return tally;
  }

  std::string report() const
  {
    const Tally counts = tally();
    const std::vector<LogLine> log = read_log(node_log_);
    std::ostringstream text;
    text << "fault " << label_ << ": scenario=" << faults_.scenario << " max_set_interval=" <<
      max_set_interval_s_ <<
      " rate_hz=" << faults_.rate_hz << " sets=" << faults_.sets << " warm_up_sets=" <<
      faults_.warm_up_sets << " seed=" << faults_.seed << "\n";
    std::uint32_t whole_inputs = 0;
    std::uint32_t whole_published = 0;
    std::uint32_t lost_images = 0;
    for (std::uint32_t set = plan_.first_measured; set < plan_.end_measured; ++set) {
      const std::uint8_t sent = plan_.sent[set];
      lost_images += static_cast<std::uint32_t>(kInputs) -
        static_cast<std::uint32_t>(__builtin_popcount(sent));
      if (sent == 0x0f) {
        ++whole_inputs;
        whole_published += counts.published[set];
      }
    }
    const double share = whole_inputs > 0 ? 100.0 * whole_published / whole_inputs : 0.0;
    const std::uint32_t mixed = counts.mixed_visible + counts.mixed_hidden;
    // A mixed frame either shows it (its outputs name different sets) or not: camera 2's
    // colour image of another set, which no output carries, stands in for a lost one.
    text << "mixed=" << mixed << " mixed_visible=" << counts.mixed_visible <<
      " mixed_camera_2_colour=" << counts.mixed_hidden << " frames=" << counts.frames <<
      " partial=" << counts.partial << "\n";
    char line[256];
    std::snprintf(
      line, sizeof line,
      "lost_images=%u whole_input_sets=%u published=%u published_share=%.1f%%\n",
      lost_images, whole_inputs, whole_published, share);
    text << line;

    const std::string & scenario = faults_.scenario;
    std::string verdict;
    if (scenario == "loss" || scenario == "free_running") {
      const bool pass = mixed == 0 &&
        (scenario == "loss" ? share >= 99.0 : whole_published == whole_inputs);
      verdict = max_set_interval_s_ == 0.0 ? "INFO: the bound is off, no target" :
        std::string(pass ? "PASS" : "FAIL") + ": target 0 mixed and " +
        (scenario == "loss" ? ">= 99 %" : "every set") + " published";
    } else if (scenario == "clock_offset") {
      const std::optional<LogLine> warning =
        first_line(log, "WARN", "stamps differ by", first_sent_ns_);
      const std::int64_t after = warning ? warning->time_ns - first_sent_ns_ : -1;
      text << "outputs=" << outputs_size() << " warn_after_s=" <<
        (warning ? seconds_text(after) : "none") << " warn=\"" <<
        (warning ? warning->text : "") << "\"\n";
      const bool pass = outputs_size() == 0 && warning && after <= 3 * kSecond;
      verdict = std::string(pass ? "PASS" : "FAIL") +
        ": target no output and the warning within 3 s";
    } else {
      const std::int64_t silent_from = start_system_ns_ + plan_.silent_from_ns;
      const std::optional<LogLine> warning =
        first_line(log, "WARN", "camera 2 depth: no image for", silent_from);
      const std::optional<LogLine> resumed =
        first_line(log, "INFO", "Sets are paired again after", silent_from);
      const std::int64_t warn_after = warning ? warning->time_ns - silent_from : -1;
      const std::int64_t info_after =
        resumed && camera_2_back_ns_ >= 0 ? resumed->time_ns - camera_2_back_ns_ : -1;
      std::uint32_t after_return = 0;
      std::uint32_t lost_after_return = 0;
      // The last set waits for a later image to show that nothing better is coming.
      for (std::uint32_t set = camera_2_back_set_; set + 1 < plan_.sets; ++set) {
        ++after_return;
        lost_after_return += !counts.published[set];
      }
      std::size_t warnings = 0;
      for (const LogLine & entry : log) {
        warnings += entry.level == "WARN" && entry.time_ns >= silent_from;
      }
      const auto period = static_cast<std::int64_t>(1e9 / faults_.rate_hz);
      text << "warn_after_s=" << (warning ? seconds_text(warn_after) : "none") << " warnings=" <<
        warnings << " warn=\"" << (warning ? warning->text : "") << "\"\n";
      text << "info_after_return_ms=" <<
        (resumed ? std::to_string(info_after / kMillisecond) : "none") << " info=\"" <<
        (resumed ? resumed->text : "") << "\"\n";
      text << "sets_after_return=" << after_return << " lost_after_return=" << lost_after_return <<
        "\n";
      const bool pass = warning && warn_after <= 3 * kSecond && resumed && info_after >= 0 &&
        info_after <= period && lost_after_return == 0 && mixed == 0;
      verdict = std::string(pass ? "PASS" : "FAIL") +
        ": target the warning within 3 s, the line on return within a frame, no set lost after";
    }
    text << node_account() << verdict << "\n";
    return text.str();
  }

  /// @brief What the converter reported while the images went out, and how long sending took:
  ///        to tell a converter that stopped from images that stopped reaching it.
  std::string node_account() const
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    std::array<double, kRateKeys.size()> lowest;
    lowest.fill(-1.0);
    std::size_t statuses = 0;
    // A second after the first image, so that every rate covers a whole second of sending.
    for (const NodeStatus & status : statuses_) {
      if (first_sent_ns_ < 0 || status.time_ns < first_sent_ns_ + 2 * kSecond ||
        status.time_ns > last_sent_ns_)
      {
        continue;
      }
      ++statuses;
      for (std::size_t k = 0; k < lowest.size(); ++k) {
        lowest[k] = lowest[k] < 0.0 ? status.rates[k] : std::min(lowest[k], status.rates[k]);
      }
    }
    const std::int64_t last_status = statuses_.empty() ? -1 : statuses_.back().time_ns;
    char line[320];
    std::snprintf(
      line, sizeof line,
      "node_statuses=%zu lowest_rates_hz=%.1f,%.1f,%.1f,%.1f lowest_sets_hz=%.1f "
      "last_status_after_last_image_s=%s longest_publish_ms=%.1f\n",
      statuses, lowest[0], lowest[1], lowest[2], lowest[3], lowest[4],
      last_status < 0 ? "none" : seconds_text(last_status - last_sent_ns_).c_str(),
      std::chrono::duration<double, std::milli>(longest_publish_).count());
    return line;
  }

  std::size_t outputs_size() const
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    return outputs_.size();
  }

  Faults faults_;
  Plan plan_;
  double max_set_interval_s_ = -1.0;
  std::string node_log_;
  std::string report_path_;
  std::string label_;
  CameraConfig config_;
  std::array<std::unique_ptr<Image>, 2> depth_;
  std::unique_ptr<Image> rgb_;
  std::vector<rclcpp::Publisher<Image>::SharedPtr> inputs_;
  std::vector<rclcpp::SubscriptionBase::SharedPtr> subscriptions_;
  rclcpp::CallbackGroup::SharedPtr receiving_group_;

  // Written by the sending thread only, read by it when it reports.
  std::int64_t start_system_ns_ = 0;
  std::int64_t first_sent_ns_ = -1;
  std::int64_t camera_2_back_ns_ = -1;
  std::uint32_t camera_2_back_set_ = 0;
  std::int64_t last_sent_ns_ = -1;
  SteadyClock::duration longest_publish_{};
  rclcpp::Subscription<diagnostic_msgs::msg::DiagnosticArray>::SharedPtr diagnostics_;

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
