// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// Times the whole frame against the step-by-step library path and against the memory floor
// (copying exactly the bytes a frame must write), after checking that both paths agree bit
// for bit. Generated frames at 640 x 480 and 1280 x 720, or the user's own frame files.
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <map>
#include <new>
#include <optional>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include <opencv2/imgcodecs.hpp>

#include "benchmark_exit.hpp"
#include "benchmark_options.hpp"
#include "literal_pipeline.hpp"
#include "milliseconds_of.hpp"
#include "packed_image.hpp"
#include "synthetic_depth.hpp"
#include "tavrinox_camera_convertor/geometry/camera_config.hpp"
#include "tavrinox_camera_convertor/geometry/frame_cameras.hpp"
#include "tavrinox_camera_convertor/geometry/instruction_set.hpp"
#include "tavrinox_camera_convertor/pipeline/color_conversion.hpp"
#include "tavrinox_camera_convertor/pipeline/frame_pipeline.hpp"
#include "tavrinox_camera_convertor/pipeline/frame_products.hpp"

namespace
{

// Heap traffic of the process, so the benchmark can show that a steady frame allocates nothing new.
std::atomic<std::size_t> g_heap_bytes{0};

}  // namespace

void * operator new(std::size_t size)
{
  g_heap_bytes.fetch_add(size, std::memory_order_relaxed);
  if (void * memory = std::malloc(size == 0 ? 1 : size)) {
    return memory;
  }
  throw std::bad_alloc();
}
void operator delete(void * memory) noexcept {std::free(memory);}
void operator delete(void * memory, std::size_t) noexcept {std::free(memory);}

namespace tavrinox_camera_convertor::bench
{
namespace
{

struct FrameSet
{
  std::string name;
  CameraConfig config;
  ImageMessage depth_1;
  ImageMessage depth_2;
  ImageMessage rgb_1;
  /// both cameras' lens, for the cases that time undistorted rays; none: the configuration's
  std::optional<Distortion> lens;
};

/// A wide-angle depth camera's rational_polynomial lens: every pixel's ray is bent.
Distortion wide_angle_lens()
{
  const double d[8] = {0.52, -2.61, 0.0004, -0.0002, 1.45, 0.40, -2.44, 1.38};
  return distortion_from_camera_info("rational_polynomial", d, 8, "benchmark camera");
}

/// What one case measured.
struct CaseResult
{
  bool identical = true;
  double median_ms = 0.0;
};

/// Discards the outputs but keeps the compiler from proving them unused.
class DiscardingOutput : public FrameOutput
{
public:
  void publish_cam1_cloud(CloudMessage & message) override {touch(message.cloud.data);}
  void publish_cam2_cloud(CloudMessage & message) override {touch(message.cloud.data);}
  void publish_depth_image(ImageMessage & message) override {touch(message.data);}
  void publish_color_image(ImageMessage & message) override {touch(message.data);}
  void publish_converted_cloud(CloudMessage & message) override {touch(message.cloud.data);}
  std::size_t checksum = 0;

private:
  void touch(const std::vector<std::uint8_t> & data)
  {
    checksum += data.size() + (data.empty() ? 0 : data.back());
  }
};

class ZeroClock : public Clock
{
public:
  Stamp now() override {return {};}
};

/// The share of generated depth pixels without depth, in round blobs, when holes are wanted.
constexpr double kHoleShare = 0.3;

/// How much of the generated depth is valid.
enum class Coverage
{
  full,      ///< every pixel measured: camera 1 has nothing to fill, so nothing is rendered
  one_hole,  ///< camera 1 misses its centre pixel: every point of both clouds is rendered
  holes,     ///< ~30 % zeros in blobs in both cameras
};

FrameSet generated_frame(
  const CameraConfig & base, std::uint32_t width, std::uint32_t height, Coverage coverage)
{
  const bool holes = coverage == Coverage::holes;
  FrameSet frame;
  frame.name = std::to_string(width) + "x" + std::to_string(height) +
    (holes ? "_holes" : coverage == Coverage::one_hole ? "_one_hole" : "_full");
  frame.config = base;
  // The configured intrinsics are for 640 x 480; scale them with the image.
  const float scale = width / 640.0f;
  for (CameraIntrinsics * k : {&frame.config.intrinsics_1, &frame.config.intrinsics_2}) {
    k->fx *= scale;
    k->fy *= scale;
    k->cx = (k->cx + 0.5f) * scale - 0.5f;
    k->cy = (k->cy + 0.5f) * (height / 480.0f) - 0.5f;
  }
  const double hole_share = holes ? kHoleShare : 0.0;
  std::vector<std::uint16_t> depth_1 = synthetic_depth(width, height, hole_share, 1);
  if (coverage == Coverage::one_hole) {
    depth_1[static_cast<std::size_t>(height / 2) * width + width / 2] = 0;
  }
  frame.depth_1 = depth_image_message(width, height, depth_1.data());
  frame.depth_2 =
    depth_image_message(width, height, synthetic_depth(width, height, hole_share, 2).data());
  frame.rgb_1.width = width;
  frame.rgb_1.height = height;
  frame.rgb_1.encoding = "bgr8";
  frame.rgb_1.step = 3 * width;
  frame.rgb_1.data.resize(static_cast<std::size_t>(3) * width * height);
  for (std::size_t k = 0; k < frame.rgb_1.data.size(); ++k) {
    frame.rgb_1.data[k] = static_cast<std::uint8_t>(k * 7 + k / 1931);
  }
  return frame;
}

ImageMessage read_image(const std::string & path, int flags, const char * what)
{
  const cv::Mat image = cv::imread(path, flags);
  if (image.empty()) {
    throw std::runtime_error(path + ": cannot read " + std::string(what));
  }
  if (image.type() == CV_16UC1) {
    return image_message_of(image, "16UC1");
  }
  if (image.type() == CV_8UC3) {
    return image_message_of(image, "bgr8");
  }
  throw std::runtime_error(path + ": not a " + std::string(what));
}

struct Statistics
{
  double median_ms = 0.0;
  double min_ms = 0.0;
};

Statistics statistics(std::vector<double> samples)
{
  std::sort(samples.begin(), samples.end());
  return {samples[samples.size() / 2], samples.front()};
}

bool same_cloud(const pcl::PCLPointCloud2 & a, const pcl::PCLPointCloud2 & b)
{
  return a.width == b.width && a.height == b.height && a.row_step == b.row_step &&
         a.point_step == b.point_step && a.is_dense == b.is_dense &&
         a.is_bigendian == b.is_bigendian && a.fields.size() == b.fields.size() &&
         a.data == b.data;
}

bool same_image(const ImageMessage & a, const ImageMessage & b)
{
  return a.width == b.width && a.height == b.height && a.step == b.step &&
         a.encoding == b.encoding && a.is_bigendian == b.is_bigendian && a.data == b.data;
}

/// Times one frame set and prints its block and its machine-readable line.
CaseResult run_case(const FrameSet & frame, const BenchmarkOptions & options)
{
  const DepthPair depth{view_of(frame.depth_1), view_of(frame.depth_2)};
  const ImageViewColorConverter color(view_of(frame.rgb_1));
  ZeroClock zero_clock;
  ClockStamps clock(zero_clock);
  FrameCameras cameras = configured_cameras(frame.config);
  if (frame.lens) {
    cameras.model_1.distortion = *frame.lens;
    cameras.model_2.distortion = *frame.lens;
  }

  const int runs = options.runs;
  FramePipeline pipeline(frame.config, options.instruction_set, options.threads);
  FrameProducts kept;
  KeepingOutput keeping(kept);
  pipeline.process(depth, cameras, color, clock, keeping);
  const literal::LiteralFrame expected =
    literal::run_literal_frame(frame.config, depth.depth_1, depth.depth_2, view_of(frame.rgb_1));
  // The literal path knows only pinholes: a lens is held to OpenCV by the unit tests instead.
  const bool identical = frame.lens.has_value() ||
    (same_cloud(kept.cam1_cloud.cloud, expected.cam1_cloud) &&
    same_cloud(kept.cam2_cloud.cloud, expected.cam2_cloud) &&
    same_image(kept.completed_depth, expected.depth_image) &&
    same_image(kept.color, expected.color_image) &&
    same_cloud(kept.converted_cloud.cloud, expected.converted_cloud));

  // The bytes the frame must write: 16 per output point, plus both images.
  const std::size_t output_bytes = kept.cam1_cloud.cloud.data.size() +
    kept.cam2_cloud.cloud.data.size() + kept.converted_cloud.cloud.data.size() +
    kept.completed_depth.data.size() + kept.color.data.size();
  std::vector<std::uint8_t> floor_source(output_bytes, 1), floor_target(output_bytes, 0);

  DiscardingOutput discard;
  for (int warm_up = 0; warm_up < 3; ++warm_up) {
    pipeline.process(depth, cameras, color, clock, discard);
  }
  std::vector<FrameTimings> stages;
  stages.reserve(static_cast<std::size_t>(runs));
  std::vector<double> frame_ms, floor_ms;
  frame_ms.reserve(static_cast<std::size_t>(runs));
  floor_ms.reserve(static_cast<std::size_t>(runs));
  std::size_t frame_heap_bytes = 0;
  for (int run = 0; run < runs; ++run) {
    const std::size_t heap_before = g_heap_bytes.load(std::memory_order_relaxed);
    frame_ms.push_back(
      milliseconds_of([&] {pipeline.process(depth, cameras, color, clock, discard);}));
    frame_heap_bytes += g_heap_bytes.load(std::memory_order_relaxed) - heap_before;
    stages.push_back(pipeline.last_timings());
  }
  // The floor back to back, with nothing else evicting its buffers: the fastest it gets, which
  // makes the ratio to it the strictest.
  for (int run = 0; run < runs; ++run) {
    floor_ms.push_back(
      milliseconds_of(
        [&] {
          std::memcpy(floor_target.data(), floor_source.data(), output_bytes);
          discard.checksum += floor_target[output_bytes / 2];
        }));
  }
  const double heap_per_frame = static_cast<double>(frame_heap_bytes) / runs;
  std::vector<double> literal_ms;
  for (int run = 0; run < std::max(3, runs / 3); ++run) {
    literal_ms.push_back(
      milliseconds_of(
        [&] {
          const literal::LiteralFrame result = literal::run_literal_frame(
            frame.config, depth.depth_1, depth.depth_2, view_of(frame.rgb_1));
          discard.checksum += result.converted_cloud.data.size();
        }));
  }

  const Statistics fast = statistics(frame_ms);
  const Statistics literal_stats = statistics(literal_ms);
  const Statistics floor_stats = statistics(floor_ms);
  auto stage_median = [&](double FrameTimings::* field) {
      std::vector<double> values;
      for (const FrameTimings & t : stages) {
        values.push_back(t.*field);
      }
      return statistics(values).median_ms;
    };

  std::printf(
    "\n%s: %u x %u and %u x %u, %zu + %zu + %zu points, %.1f MB written per frame\n",
    frame.name.c_str(), frame.depth_1.width, frame.depth_1.height, frame.depth_2.width,
    frame.depth_2.height, kept.cam1_cloud.cloud.data.size() / 16,
    kept.cam2_cloud.cloud.data.size() / 16, kept.converted_cloud.cloud.data.size() / 16,
    output_bytes / 1e6);
  std::printf("  pipeline   median %8.3f ms   min %8.3f ms\n", fast.median_ms, fast.min_ms);
  std::printf(
    "    stages   check %.3f  clouds and completion %.3f  converted cloud %.3f  publish %.3f ms\n",
    stage_median(&FrameTimings::check_ms), stage_median(&FrameTimings::clouds_and_completion_ms),
    stage_median(&FrameTimings::converted_cloud_ms), stage_median(&FrameTimings::publish_ms));
  std::printf(
    "  literal    median %8.3f ms   min %8.3f ms\n", literal_stats.median_ms,
    literal_stats.min_ms);
  std::printf(
    "  floor      median %8.3f ms   min %8.3f ms\n", floor_stats.median_ms,
    floor_stats.min_ms);
  std::printf(
    "  speed-up over literal %.2fx, ratio to floor %.2fx, heap %.0f bytes per frame, "
    "identical: %s\n",
    literal_stats.median_ms / fast.median_ms, fast.median_ms / floor_stats.median_ms,
    heap_per_frame, frame.lens ? "not compared (lens)" : identical ? "yes" : "NO");
  std::printf(
    "case=%s frame_ms_median=%.3f frame_ms_min=%.3f literal_ms_median=%.3f "
    "floor_ms_median=%.3f speedup=%.2f floor_ratio=%.2f heap_bytes_per_frame=%.0f "
    "identical=%s\n",
    frame.name.c_str(), fast.median_ms, fast.min_ms, literal_stats.median_ms,
    floor_stats.median_ms, literal_stats.median_ms / fast.median_ms,
    fast.median_ms / floor_stats.median_ms, heap_per_frame,
    frame.lens ? "not_compared" : identical ? "yes" : "no");
  std::fflush(stdout);
  return {identical, fast.median_ms};
}

int run(int argc, char ** argv)
{
  const BenchmarkOptions options =
    parse_benchmark_options(argc, argv, TAVRINOX_DEFAULT_CONFIG);
  const CameraConfig config = load_camera_config(options.config, std::cout);
  std::vector<FrameSet> frames;
  if (!options.depth1.empty()) {
    FrameSet own;
    own.name = "own_frame";
    own.config = config;
    own.depth_1 = read_image(options.depth1, cv::IMREAD_UNCHANGED, "16-bit depth image");
    own.depth_2 = read_image(options.depth2, cv::IMREAD_UNCHANGED, "16-bit depth image");
    own.rgb_1 = read_image(options.rgb1, cv::IMREAD_COLOR, "colour image");
    if (own.depth_1.encoding != "16UC1" || own.depth_2.encoding != "16UC1") {
      throw std::runtime_error("depth files must be single-channel 16-bit PNG");
    }
    frames.push_back(std::move(own));
  } else {
    for (const auto & [width, height] : {std::pair{640u, 480u}, std::pair{1280u, 720u}}) {
      for (const Coverage coverage : {Coverage::full, Coverage::one_hole, Coverage::holes}) {
        frames.push_back(generated_frame(config, width, height, coverage));
      }
      FrameSet bent = generated_frame(config, width, height, Coverage::holes);
      bent.name += "_rational";
      bent.lens = wide_angle_lens();
      frames.push_back(std::move(bent));
    }
  }
  std::vector<std::string> names;
  for (const FrameSet & frame : frames) {
    names.push_back(frame.name);
  }
  require_known_case(options.only_case, names);
  if (!is_supported(options.instruction_set)) {
    throw std::runtime_error(
            "this processor or build cannot run " + to_string(options.instruction_set));
  }
  std::printf(
    "%u thread%s per frame, %s loops, %d timed frames per case after 3 warm-up frames\n",
    options.threads, options.threads == 1 ? "" : "s", to_string(options.instruction_set).c_str(),
    options.runs);
  bool all_identical = true;
  std::map<std::string, double> median_ms;
  for (const FrameSet & frame : frames) {
    if (!options.only_case.empty() && frame.name != options.only_case) {
      continue;
    }
    const CaseResult result = run_case(frame, options);
    all_identical = result.identical && all_identical;
    median_ms[frame.name] = result.median_ms;
    // A lens's cost against the same frame through pinholes, timed in this run.
    const std::string pinhole = frame.name.substr(0, frame.name.rfind("_rational"));
    if (frame.lens && median_ms.count(pinhole) != 0) {
      std::printf(
        "  lens cost: %.2fx the pinhole frame (%s)\nlens_case=%s lens_ratio=%.3f\n",
        result.median_ms / median_ms[pinhole], pinhole.c_str(), frame.name.c_str(),
        result.median_ms / median_ms[pinhole]);
    }
  }
  return agreement_status(all_identical, "the pipeline's outputs differ from the literal path");
}

}  // namespace
}  // namespace tavrinox_camera_convertor::bench

int main(int argc, char ** argv)
{
  return tavrinox_camera_convertor::bench::guarded_main(
    tavrinox_camera_convertor::bench::run, argc, argv, "error");
}
