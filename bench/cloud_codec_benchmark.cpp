// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// Ways to send a cloud that is the back-projection of a 16-bit depth image, side by side: its
// bytes against the raw cloud's, and the time to encode it and to make the cloud again on the
// other side. Noisy synthetic depth at 1280 x 720 and 640 x 480, and any 16-bit PNG depth
// files named on the command line.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <iostream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include <opencv2/imgcodecs.hpp>

#include "synthetic_depth.hpp"
#include "tavrinox_camera_convertor/codec/cloud_decoder.hpp"
#include "tavrinox_camera_convertor/codec/cloud_encoder.hpp"
#include "tavrinox_camera_convertor/codec/zstd_frame.hpp"
#include "tavrinox_camera_convertor/geometry/arm_cloud.hpp"
#include "tavrinox_camera_convertor/geometry/camera_config.hpp"
#include "tavrinox_camera_convertor/geometry/depth_pixels.hpp"
#include "tavrinox_camera_convertor/geometry/image.hpp"

namespace tavrinox_camera_convertor::bench
{
namespace
{

using SteadyClock = std::chrono::steady_clock;

/// The share of the generated pixels without depth, in round blobs.
constexpr double kHoleShare = 0.1;

struct Options
{
  std::string config = TAVRINOX_DEFAULT_CONFIG;
  int runs = 15;
  std::vector<std::string> depth_files;
};

Options parse_options(int argc, char ** argv)
{
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if ((argument == "--runs" || argument == "--config") && i + 1 < argc) {
      const std::string value = argv[++i];
      if (argument == "--config") {
        options.config = value;
        continue;
      }
      std::size_t used = 0;
      int runs = 0;
      try {
        runs = std::stoi(value, &used);
      } catch (const std::exception &) {
        used = 0;
      }
      if (used != value.size() || runs < 1 || runs > 1000) {
        throw std::runtime_error("--runs takes a whole number from 1 to 1000, not " + value);
      }
      options.runs = runs;
    } else if (argument.rfind("--", 0) == 0) {
      throw std::runtime_error("unknown option or missing value: " + argument);
    } else {
      options.depth_files.push_back(argument);
    }
  }
  return options;
}

/// One depth image and the camera that back-projects it.
struct Case
{
  std::string name;
  ImageMessage depth;
  CameraIntrinsics intrinsics;
  ExtrinsicTransform extrinsic;
};

ImageMessage packed_depth(
  std::uint32_t width, std::uint32_t height, const std::uint16_t * millimetres)
{
  ImageMessage image;
  image.width = width;
  image.height = height;
  image.encoding = "16UC1";
  image.is_bigendian = host_is_bigendian() ? 1 : 0;
  image.step = 2 * width;
  image.data.resize(static_cast<std::size_t>(image.step) * height);
  std::memcpy(image.data.data(), millimetres, image.data.size());
  return image;
}

/// Camera 1 of the configuration, its 640 x 480 intrinsics scaled to the image.
Case make_case(
  const std::string & name, ImageMessage depth, const CameraConfig & config)
{
  const float scale_x = static_cast<float>(depth.width) / 640.0f;
  const float scale_y = static_cast<float>(depth.height) / 480.0f;
  Case result{name, std::move(depth), config.intrinsics_1, config.extrinsic_1};
  CameraIntrinsics & k = result.intrinsics;
  k.fx *= scale_x;
  k.fy *= scale_y;
  k.cx = (k.cx + 0.5f) * scale_x - 0.5f;
  k.cy = (k.cy + 0.5f) * scale_y - 0.5f;
  return result;
}

Case file_case(const std::string & path, const CameraConfig & config)
{
  const cv::Mat image = cv::imread(path, cv::IMREAD_UNCHANGED);
  if (image.empty() || image.type() != CV_16UC1 || !image.isContinuous()) {
    throw std::runtime_error(path + ": cannot read a single-channel 16-bit depth image");
  }
  return make_case(
    path, packed_depth(
      static_cast<std::uint32_t>(image.cols), static_cast<std::uint32_t>(image.rows),
      image.ptr<std::uint16_t>()), config);
}

/// What a candidate is handed: the depth image (also packed, as a kept copy of a source is),
/// its camera and the cloud that is its image.
struct Source
{
  const DepthPixels & depth;
  const std::vector<std::uint8_t> & packed;
  const Case & camera;
  const pcl::PCLPointCloud2 & cloud;
};

/// The ways to send the cloud that are compared.
enum class Code
{
  cloud_zstd1,        ///< the cloud's own bytes, zstd level 1: what any cloud can have
  image_zstd1,        ///< the packed image, zstd level 1
  image_zstd3,        ///< the packed image, zstd level 3
  image_png1,         ///< 16-bit PNG through OpenCV, zlib level 1
  image_png3,         ///< 16-bit PNG through OpenCV, zlib level 3 (OpenCV's default)
  med_planes_zstd1,   ///< LOCO-I's median edge prediction, zig-zag, byte planes, zstd level 1
  left_planes_zstd1,  ///< CloudEncoder's code: left neighbour, zig-zag, byte planes, level 1
  left_planes_zstd3,  ///< the same at zstd level 3
};

constexpr Code kCodes[] = {
  Code::cloud_zstd1, Code::image_zstd1, Code::image_zstd3, Code::image_png1, Code::image_png3,
  Code::med_planes_zstd1, Code::left_planes_zstd1, Code::left_planes_zstd3};

const char * name_of(Code code)
{
  switch (code) {
    case Code::cloud_zstd1:
      return "cloud_zstd1";
    case Code::image_zstd1:
      return "image_zstd1";
    case Code::image_zstd3:
      return "image_zstd3";
    case Code::image_png1:
      return "image_png1";
    case Code::image_png3:
      return "image_png3";
    case Code::med_planes_zstd1:
      return "med_planes_zstd1";
    case Code::left_planes_zstd1:
      return "left_planes_zstd1";
    case Code::left_planes_zstd3:
      break;
  }
  return "left_planes_zstd3";
}

// ---------------------------------------------------------------- LOCO-I's predictor, for
// comparison with the left neighbour the codec uses

std::uint16_t median_edge(int left, int above, int corner)
{
  const int low = std::min(left, above);
  const int high = std::max(left, above);
  if (corner >= high) {
    return static_cast<std::uint16_t>(low);
  }
  if (corner <= low) {
    return static_cast<std::uint16_t>(high);
  }
  return static_cast<std::uint16_t>(left + above - corner);
}

/// The neighbours of pixel (i, j) of packed rows, as the codec's edges would have them.
struct Neighbours
{
  int left;
  int above;
  int corner;
};

Neighbours neighbours(const std::uint16_t * mm, std::size_t width, std::size_t i, std::size_t j)
{
  const std::size_t k = i * width + j;
  const int above = i > 0 ? mm[k - width] : (j > 0 ? mm[k - 1] : 0);
  const int left = j > 0 ? mm[k - 1] : above;
  const int corner = i > 0 && j > 0 ? mm[k - width - 1] : above;
  return {left, above, corner};
}

std::uint16_t zig_zag(std::uint16_t difference)
{
  return static_cast<std::uint16_t>((difference << 1) ^ (0u - (difference >> 15)));
}

std::uint16_t un_zig_zag(std::uint16_t code)
{
  return static_cast<std::uint16_t>((code >> 1) ^ (0u - (code & 1u)));
}

void median_edge_planes(
  const std::uint16_t * mm, std::size_t width, std::size_t height, std::uint8_t * planes)
{
  const std::size_t pixels = width * height;
  for (std::size_t i = 0; i < height; ++i) {
    // Zig-zagged difference from the median edge prediction, split into two byte planes.
    for (std::size_t j = 0; j < width; ++j) {
      const Neighbours n = neighbours(mm, width, i, j);
      const std::size_t k = i * width + j;
      const std::uint16_t code =
        zig_zag(static_cast<std::uint16_t>(mm[k] - median_edge(n.left, n.above, n.corner)));
      planes[k] = static_cast<std::uint8_t>(code);
      planes[pixels + k] = static_cast<std::uint8_t>(code >> 8);
    }
  }
}

void median_edge_depth(
  const std::uint8_t * planes, std::size_t width, std::size_t height, std::uint16_t * mm)
{
  const std::size_t pixels = width * height;
  for (std::size_t i = 0; i < height; ++i) {
    // Prediction plus difference, pixel after pixel, each from the ones already made.
    for (std::size_t j = 0; j < width; ++j) {
      const Neighbours n = neighbours(mm, width, i, j);
      const std::size_t k = i * width + j;
      const auto code = static_cast<std::uint16_t>(planes[k] | planes[pixels + k] << 8);
      mm[k] =
        static_cast<std::uint16_t>(median_edge(n.left, n.above, n.corner) + un_zig_zag(code));
    }
  }
}

/// Everything the candidates keep between runs, as a transport would.
struct Workbench
{
  CloudEncoder encoder_1{1};
  CloudEncoder encoder_3{3};
  CloudDecoder decoder;
  ZstdCompressionContext zstd_1 = make_zstd_compression_context(1);
  ZstdCompressionContext zstd_3 = make_zstd_compression_context(3);
  ZstdDecompressionContext unzstd = make_zstd_decompression_context();
  ArmCloudWriter writer;
  std::vector<std::uint8_t> bytes;
  std::vector<std::uint8_t> planes;
  std::vector<std::uint16_t> millimetres;
  std::vector<std::uint16_t> scratch;
};

std::vector<std::uint8_t> packed_bytes(const DepthPixels & depth)
{
  std::vector<std::uint8_t> bytes(2 * static_cast<std::size_t>(depth.width()) * depth.height());
  for (std::uint32_t i = 0; i < depth.height(); ++i) {
    std::memcpy(
      bytes.data() + 2 * static_cast<std::size_t>(i) * depth.width(), depth.row(i),
      2 * static_cast<std::size_t>(depth.width()));
  }
  return bytes;
}

/// The cloud of packed millimetres, as a receiver of the image makes it.
void write_cloud(
  Workbench & bench, const Source & source, const std::uint8_t * millimetres,
  std::size_t step, pcl::PCLPointCloud2 & out)
{
  ImageView view;
  view.width = source.depth.width();
  view.height = source.depth.height();
  view.encoding = "16UC1";
  view.is_bigendian = host_is_bigendian();
  view.step = static_cast<std::uint32_t>(step);
  view.data = millimetres;
  view.size = step * view.height;
  bench.writer.write(
    DepthPixels(view, "decoded", bench.scratch), source.camera.intrinsics,
    source.camera.extrinsic, out);
}

void encode(Workbench & bench, Code code, const Source & source, std::vector<std::uint8_t> & out)
{
  const DepthPixels & depth = source.depth;
  switch (code) {
    case Code::cloud_zstd1:
      bench.encoder_1.encode_cloud_data(source.cloud, out);
      return;
    case Code::image_zstd1:
    case Code::image_zstd3:
      out.clear();
      append_zstd_frame(
        code == Code::image_zstd1 ? *bench.zstd_1 : *bench.zstd_3, source.packed.data(),
        source.packed.size(), out);
      return;
    case Code::image_png1:
    case Code::image_png3: {
        // A header over the pixels, which imencode only reads.
        const cv::Mat image(
          static_cast<int>(depth.height()), static_cast<int>(depth.width()), CV_16UC1,
          const_cast<std::uint8_t *>(source.packed.data()));
        cv::imencode(
          ".png", image, out, {cv::IMWRITE_PNG_COMPRESSION, code == Code::image_png1 ? 1 : 3});
        return;
      }
    case Code::med_planes_zstd1:
      bench.planes.resize(source.packed.size());
      median_edge_planes(
        reinterpret_cast<const std::uint16_t *>(source.packed.data()), depth.width(),
        depth.height(), bench.planes.data());
      out.clear();
      append_zstd_frame(*bench.zstd_1, bench.planes.data(), bench.planes.size(), out);
      return;
    case Code::left_planes_zstd1:
    case Code::left_planes_zstd3:
      (code == Code::left_planes_zstd1 ? bench.encoder_1 : bench.encoder_3).encode_depth(
        depth, source.camera.intrinsics, source.camera.extrinsic, out);
      return;
  }
}

void decode(
  Workbench & bench, Code code, const Source & source, const std::vector<std::uint8_t> & in,
  pcl::PCLPointCloud2 & out)
{
  const std::size_t row_bytes = 2 * static_cast<std::size_t>(source.depth.width());
  const std::size_t image_bytes = row_bytes * source.depth.height();
  switch (code) {
    case Code::cloud_zstd1:
    case Code::left_planes_zstd1:
    case Code::left_planes_zstd3:
      bench.decoder.decode(in, source.cloud, out);
      return;
    case Code::image_zstd1:
    case Code::image_zstd3:
      decompress_zstd_frame(*bench.unzstd, in.data(), in.size(), image_bytes, "image", bench.bytes);
      write_cloud(bench, source, bench.bytes.data(), row_bytes, out);
      return;
    case Code::image_png1:
    case Code::image_png3: {
        const cv::Mat image = cv::imdecode(in, cv::IMREAD_UNCHANGED);
        write_cloud(bench, source, image.data, image.step, out);
        return;
      }
    case Code::med_planes_zstd1:
      decompress_zstd_frame(
        *bench.unzstd, in.data(), in.size(), image_bytes, "planes",
        bench.bytes);
      bench.millimetres.resize(image_bytes / 2);
      median_edge_depth(
        bench.bytes.data(), source.depth.width(), source.depth.height(), bench.millimetres.data());
      write_cloud(
        bench, source, reinterpret_cast<const std::uint8_t *>(bench.millimetres.data()), row_bytes,
        out);
      return;
  }
}

double median_of(std::vector<double> samples)
{
  std::sort(samples.begin(), samples.end());
  return samples[samples.size() / 2];
}

template<typename Work>
double milliseconds_of(Work && work)
{
  const SteadyClock::time_point start = SteadyClock::now();
  work();
  return std::chrono::duration<double, std::milli>(SteadyClock::now() - start).count();
}

/// Times every candidate on one case and prints its table; returns whether all came back whole.
bool run_case(const Case & one, int runs, Workbench & bench)
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
  const Source source{depth, packed, one, cloud};
  bool all_identical = true;
  std::vector<std::uint8_t> coded;
  pcl::PCLPointCloud2 decoded;
  for (const Code code : kCodes) {
    encode(bench, code, source, coded);
    decoded = pcl::PCLPointCloud2();
    decode(bench, code, source, coded, decoded);
    const bool identical = decoded.data == cloud.data && decoded.width == cloud.width &&
      decoded.row_step == cloud.row_step;
    all_identical = all_identical && identical;
    std::vector<double> encode_ms;
    std::vector<double> decode_ms;
    for (int run = 0; run < runs; ++run) {
      encode_ms.push_back(milliseconds_of([&] {encode(bench, code, source, coded);}));
      decode_ms.push_back(milliseconds_of([&] {decode(bench, code, source, coded, decoded);}));
    }
    const double ratio = static_cast<double>(raw) / static_cast<double>(coded.size());
    const std::string shown = std::string(name_of(code)) +
      (code == Code::left_planes_zstd1 ? " (chosen)" : "");
    std::printf(
      "%-28s %12zu %7.1fx %10.2f %10.2f %10s\n", shown.c_str(), coded.size(), ratio,
      median_of(encode_ms), median_of(decode_ms), identical ? "yes" : "NO");
    std::printf(
      "case=%s candidate=%s raw_cloud_bytes=%zu coded_bytes=%zu ratio=%.2f "
      "encode_ms_median=%.3f decode_ms_median=%.3f identical=%s\n",
      one.name.c_str(), name_of(code), raw, coded.size(), ratio, median_of(encode_ms),
      median_of(decode_ms), identical ? "yes" : "no");
  }
  return all_identical;
}

int run(int argc, char ** argv)
{
  const Options options = parse_options(argc, argv);
  std::ostringstream matrices;
  const CameraConfig config = load_camera_config(options.config, matrices);
  std::vector<Case> cases;
  for (const auto & [width, height] : {std::pair<std::uint32_t, std::uint32_t>{1280, 720},
      {640, 480}})
  {
    const std::vector<std::uint16_t> mm = noisy_synthetic_depth(width, height, kHoleShare, 1);
    cases.push_back(
      make_case(
        "noisy_" + std::to_string(width) + "x" + std::to_string(height),
        packed_depth(width, height, mm.data()), config));
  }
  for (const std::string & path : options.depth_files) {
    cases.push_back(file_case(path, config));
  }
  std::printf(
    "Cloud codec candidates, median of %d runs each; \"decode\" ends with the cloud message "
    "(the image candidates back-project with ArmCloudWriter), ratio = raw cloud bytes / coded "
    "bytes\n", options.runs);
  Workbench bench;
  bool identical = true;
  for (const Case & one : cases) {
    identical = run_case(one, options.runs, bench) && identical;
  }
  if (!identical) {
    std::fprintf(stderr, "FAILED: a candidate did not give the cloud back bit for bit\n");
    return 1;
  }
  return 0;
}

}  // namespace
}  // namespace tavrinox_camera_convertor::bench

int main(int argc, char ** argv)
{
  try {
    return tavrinox_camera_convertor::bench::run(argc, argv);
  } catch (const std::exception & error) {
    std::fprintf(stderr, "tavrinox_cloud_codec_benchmark: %s\n", error.what());
    std::fprintf(
      stderr, "usage: tavrinox_cloud_codec_benchmark [--runs N] [--config FILE] [DEPTH.png ...]\n");
    return 2;
  }
}
