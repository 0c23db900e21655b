// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// Ways to send a 16-bit depth image and the cloud that is its back-projection, side by side.
// First the depth codes alone: bytes, and the time to encode a sender's image and to decode the
// millimetres again, on the calling thread's processor time (what it costs one core however busy
// the machine) and on the steady clock. Then whole clouds: bytes against the raw cloud's, and
// the time to encode and to make the cloud again on the other side. Noisy synthetic depth at
// 1280 x 720 and 640 x 480, the sample tabletop as a stereo camera measures it at 1280 x 720,
// and any 16-bit PNG depth files named on the command line.
#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "benchmark_exit.hpp"
#include "camera_like_frame.hpp"
#include "cloud_codec_candidates.hpp"
#include "cloud_codec_depth_candidates.hpp"
#include "codec_benchmark_setup.hpp"
#include "codec_timings.hpp"
#include "depth_case.hpp"
#include "median_of.hpp"
#include "milliseconds_of.hpp"
#include "packed_image.hpp"
#include "synthetic_depth.hpp"
#include "tavrinox_camera_convertor/geometry/camera_config.hpp"

namespace tavrinox_camera_convertor::bench
{
namespace
{

/// The share of the generated pixels without depth, in round blobs.
constexpr double kHoleShare = 0.1;

/// The millimetres of `depth`, packed row-major.
std::vector<std::uint16_t> millimetres_of(const DepthPixels & depth)
{
  std::vector<std::uint16_t> values;
  values.reserve(static_cast<std::size_t>(depth.width()) * depth.height());
  for (std::uint32_t i = 0; i < depth.height(); ++i) {
    for (std::uint32_t j = 0; j < depth.width(); ++j) {
      values.push_back(DepthPixels::at(depth.row(i), j));
    }
  }
  return values;
}

/// Times every depth code on one case and prints its table; returns whether all came back whole.
bool run_depth_code_case(const DepthCase & one, int runs)
{
  std::vector<std::uint16_t> scratch;
  const DepthPixels depth(view_of(one.depth), one.name, scratch);
  const std::vector<std::uint16_t> original = millimetres_of(depth);
  const std::size_t raw = 2 * original.size();
  std::printf(
    "\ncase %s: depth codes alone, %u x %u depth = %zu bytes; ms per image, median of %d\n",
    one.name.c_str(), depth.width(), depth.height(), raw, runs);
  std::printf(
    "%-32s %11s %7s %10s %10s %10s %10s %9s\n", "candidate", "coded bytes", "ratio",
    "encode cpu", "decode cpu", "enc. wall", "dec. wall", "identical");
  bool all_identical = true;
  for (const DepthCodeCandidate candidate : kDepthCodeCandidates) {
    DepthCodeWorkbench bench(candidate);
    std::vector<std::uint8_t> coded;
    std::vector<std::uint16_t> decoded;
    bench.encode(depth, coded);
    bench.decode(coded, depth.width(), depth.height(), decoded);
    const bool identical = decoded == original;
    all_identical = all_identical && identical;
    const CodecTimings timings = time_codec(
      runs, [&] {bench.encode(depth, coded);},
      [&] {bench.decode(coded, depth.width(), depth.height(), decoded);});
    const double ratio = static_cast<double>(raw) / static_cast<double>(coded.size());
    const std::string shown = std::string(name_of(candidate)) +
      (candidate == kChosenDepthCode ? " (chosen)" : "");
    std::printf(
      "%-32s %11zu %6.2fx %10.2f %10.2f %10.2f %10.2f %9s\n", shown.c_str(), coded.size(), ratio,
      timings.encode_cpu, timings.decode_cpu, timings.encode_wall, timings.decode_wall,
      identical ? "yes" : "NO");
    std::printf(
      "case=%s depth_code=%s raw_bytes=%zu coded_bytes=%zu encode_cpu_ms_median=%.3f "
      "decode_cpu_ms_median=%.3f encode_wall_ms_median=%.3f decode_wall_ms_median=%.3f "
      "identical=%s\n", one.name.c_str(), name_of(candidate), raw, coded.size(),
      timings.encode_cpu, timings.decode_cpu, timings.encode_wall, timings.decode_wall,
      identical ? "yes" : "no");
  }
  return all_identical;
}

/// Times every candidate on one case and prints its table; returns whether all came back whole.
bool run_case(const DepthCase & one, int runs, CandidateWorkbench & bench)
{
  std::vector<std::uint16_t> scratch;
  const DepthPixels depth(view_of(one.depth), one.name, scratch);
  pcl::PCLPointCloud2 cloud;
  ArmCloudWriter().write(depth, one.intrinsics, one.extrinsic, cloud);
  const std::size_t pixels = static_cast<std::size_t>(depth.width()) * depth.height();
  const std::size_t raw = cloud.data.size();
  std::printf(
    "\ncase %s: %u x %u depth, %.1f %% holes, cloud of %u points = %zu bytes\n",
    one.name.c_str(), depth.width(), depth.height(),
    100.0 * static_cast<double>(pixels - cloud.width) / static_cast<double>(pixels), cloud.width,
    raw);
  std::printf(
    "%-28s %12s %8s %10s %10s %10s\n", "candidate", "coded bytes", "ratio", "encode ms",
    "decode ms", "identical");
  const std::vector<std::uint8_t> packed = packed_bytes(depth);
  const CandidateSource source{depth, packed, one, cloud};
  bool all_identical = true;
  std::vector<std::uint8_t> coded;
  pcl::PCLPointCloud2 decoded;
  for (const Candidate candidate : kCandidates) {
    encode(bench, candidate, source, coded);
    decoded = pcl::PCLPointCloud2();
    decode(bench, candidate, source, coded, decoded);
    const bool identical = decoded.data == cloud.data && decoded.width == cloud.width &&
      decoded.row_step == cloud.row_step;
    all_identical = all_identical && identical;
    std::vector<double> encode_ms;
    std::vector<double> decode_ms;
    for (int run = 0; run < runs; ++run) {
      encode_ms.push_back(milliseconds_of([&] {encode(bench, candidate, source, coded);}));
      decode_ms.push_back(
        milliseconds_of([&] {decode(bench, candidate, source, coded, decoded);}));
    }
    const double ratio = static_cast<double>(raw) / static_cast<double>(coded.size());
    const std::string shown = std::string(name_of(candidate)) +
      (candidate == kChosenCandidate ? " (chosen)" : "");
    std::printf(
      "%-28s %12zu %7.1fx %10.2f %10.2f %10s\n", shown.c_str(), coded.size(), ratio,
      median_of(encode_ms), median_of(decode_ms), identical ? "yes" : "NO");
    std::printf(
      "case=%s candidate=%s raw_cloud_bytes=%zu coded_bytes=%zu ratio=%.2f "
      "encode_ms_median=%.3f decode_ms_median=%.3f identical=%s\n",
      one.name.c_str(), name_of(candidate), raw, coded.size(), ratio, median_of(encode_ms),
      median_of(decode_ms), identical ? "yes" : "no");
  }
  return all_identical;
}

int run(const CodecBenchmarkSetup & setup)
{
  std::vector<DepthCase> cases;
  for (const auto & [width, height] : {std::pair<std::uint32_t, std::uint32_t>{1280, 720},
      {640, 480}})
  {
    const std::vector<std::uint16_t> mm = noisy_synthetic_depth(width, height, kHoleShare, 1);
    cases.push_back(
      depth_case(
        "noisy_" + std::to_string(width) + "x" + std::to_string(height),
        depth_image_message(width, height, mm.data()), setup.config));
  }
  CameraLikeFrame camera_like = camera_like_frame(setup.config, 1280, 720);
  cases.push_back(
    DepthCase{"camera_like_1280x720", std::move(camera_like.depth), camera_like.intrinsics,
      camera_like.extrinsic});
  for (const std::string & path : setup.options.files) {
    cases.push_back(depth_file_case(path, setup.config));
  }
  std::printf(
    "Cloud codec candidates, median of %d runs each; \"decode\" ends with the cloud message "
    "(the image candidates back-project with ArmCloudWriter), ratio = raw cloud bytes / coded "
    "bytes\n", setup.options.runs);
  CandidateWorkbench bench;
  bool identical = true;
  for (const DepthCase & one : cases) {
    identical = run_depth_code_case(one, setup.options.runs) && identical;
    identical = run_case(one, setup.options.runs, bench) && identical;
  }
  return agreement_status(identical, "a candidate did not give the cloud back bit for bit");
}

}  // namespace
}  // namespace tavrinox_camera_convertor::bench

int main(int argc, char ** argv)
{
  return tavrinox_camera_convertor::bench::codec_benchmark_main<
    tavrinox_camera_convertor::bench::run>(
    argc, argv, "tavrinox_cloud_codec_benchmark",
    "usage: tavrinox_cloud_codec_benchmark [--runs N] [--config FILE] [DEPTH.png ...]");
}
