// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// Ways to send an 8-bit colour image losslessly, side by side: bytes, and the time to encode a
// sender's image and to decode its pixels again, on the calling thread's processor time (what it
// costs one core however busy the machine) and on the steady clock. The sample tabletop as a
// colour camera delivers it at 1280 x 720 (bgr8, rgb8, bgra8), as ray-cast (flat colours, like
// the stand-in cameras'), and any image files named on the command line (read as bgr8).
#include <cstdint>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include <opencv2/imgcodecs.hpp>

#include "benchmark_exit.hpp"
#include "camera_like_frame.hpp"
#include "codec_benchmark_setup.hpp"
#include "codec_timings.hpp"
#include "color_codec_candidates.hpp"
#include "packed_image.hpp"
#include "tavrinox_camera_convertor/geometry/camera_config.hpp"

namespace tavrinox_camera_convertor::bench
{
namespace
{

/// `image` with its first and third channels swapped, and named `encoding`.
ImageMessage swapped(ImageMessage image, const std::string & encoding)
{
  for (std::size_t k = 0; k + 2 < image.data.size(); k += 3) {
    std::swap(image.data[k], image.data[k + 2]);
  }
  image.encoding = encoding;
  return image;
}

/// `image` (bgr8) with an alpha channel of opaque pixels, as bgra8.
ImageMessage with_alpha(const ImageMessage & image)
{
  ImageMessage four = image;
  four.encoding = "bgra8";
  four.step = 4 * image.width;
  four.data.clear();
  for (std::size_t k = 0; k + 2 < image.data.size(); k += 3) {
    four.data.insert(four.data.end(), {image.data[k], image.data[k + 1], image.data[k + 2], 255});
  }
  return four;
}

/// Times every candidate on one image and prints its table; returns whether all came back whole.
bool run_case(const std::string & name, const ImageMessage & image, int runs)
{
  std::printf(
    "\ncase %s: %u x %u %s = %zu bytes; ms per image, median of %d\n", name.c_str(), image.width,
    image.height, image.encoding.c_str(), image.data.size(), runs);
  std::printf(
    "%-30s %11s %8s %10s %10s %10s %10s %9s\n", "candidate", "coded bytes", "of png",
    "encode cpu", "decode cpu", "enc. wall", "dec. wall", "identical");
  bool all_identical = true;
  std::size_t png_bytes = 0;
  for (const ColorCandidate candidate : kColorCandidates) {
    ColorWorkbench bench(candidate);
    std::vector<std::uint8_t> coded;
    std::vector<std::uint8_t> decoded;
    bench.encode(image, coded);
    bench.decode(coded, decoded);
    const bool identical = decoded == image.data;
    all_identical = all_identical && identical;
    if (candidate == ColorCandidate::png1) {
      png_bytes = coded.size();
    }
    const CodecTimings timings = time_codec(
      runs, [&] {bench.encode(image, coded);}, [&] {bench.decode(coded, decoded);});
    const double of_png = static_cast<double>(coded.size()) / static_cast<double>(png_bytes);
    const std::string shown = std::string(name_of(candidate)) +
      (candidate == kChosenColorCandidate ? " (chosen)" : "");
    std::printf(
      "%-30s %11zu %8.3f %10.2f %10.2f %10.2f %10.2f %9s\n", shown.c_str(), coded.size(), of_png,
      timings.encode_cpu, timings.decode_cpu, timings.encode_wall, timings.decode_wall,
      identical ? "yes" : "NO");
    std::printf(
      "case=%s color_code=%s raw_bytes=%zu coded_bytes=%zu png_bytes=%zu "
      "encode_cpu_ms_median=%.3f decode_cpu_ms_median=%.3f encode_wall_ms_median=%.3f "
      "decode_wall_ms_median=%.3f identical=%s\n", name.c_str(), name_of(candidate),
      image.data.size(), coded.size(), png_bytes, timings.encode_cpu, timings.decode_cpu,
      timings.encode_wall, timings.decode_wall, identical ? "yes" : "no");
  }
  return all_identical;
}

int run(const CodecBenchmarkSetup & setup)
{
  const CameraLikeFrame frame = camera_like_frame(setup.config, 1280, 720);
  std::vector<std::pair<std::string, ImageMessage>> cases = {
    {"camera_like_1280x720", frame.colour},
    {"camera_like_1280x720", swapped(frame.colour, "rgb8")},
    {"camera_like_1280x720", with_alpha(frame.colour)},
    {"rendered_1280x720", frame.rendered_colour}};
  for (const std::string & path : setup.options.files) {
    const cv::Mat image = cv::imread(path, cv::IMREAD_COLOR);
    if (image.empty()) {
      throw std::runtime_error(path + ": cannot read a colour image");
    }
    cases.emplace_back(path, image_message_of(image, "bgr8"));
  }
  std::printf(
    "Colour codec candidates, median of %d runs each; \"of png\" = coded bytes / png1's\n",
    setup.options.runs);
  bool identical = true;
  for (const auto & [name, image] : cases) {
    identical = run_case(name, image, setup.options.runs) && identical;
  }
  return agreement_status(identical, "a candidate did not give the image back byte for byte");
}

}  // namespace
}  // namespace tavrinox_camera_convertor::bench

int main(int argc, char ** argv)
{
  return tavrinox_camera_convertor::bench::codec_benchmark_main<
    tavrinox_camera_convertor::bench::run>(
    argc, argv, "tavrinox_color_codec_benchmark",
    "usage: tavrinox_color_codec_benchmark [--runs N] [--config FILE] [IMAGE ...]");
}
