// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "runner_options.hpp"

#include <algorithm>
#include <cctype>
#include <optional>

#include "command_line.hpp"
#include "runner_error.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

constexpr std::uint32_t kLargestSampleSide = 8192;

KnownOptions runner_options()
{
  KnownOptions known;
  known.flags = {"--sample"};
  known.with_value = {
    "--config", "--depth1", "--depth2", "--rgb1", "--rgb2", "--truth", "--size", "--sequence",
    "--out"};
  return known;
}

std::optional<std::uint32_t> parse_side(const std::string & text)
{
  if (text.empty() || text.size() > 5 ||
    !std::all_of(text.begin(), text.end(), [](unsigned char c) {return std::isdigit(c) != 0;}))
  {
    return std::nullopt;
  }
  const auto value = static_cast<std::uint32_t>(std::stoul(text));
  if (value == 0 || value > kLargestSampleSide) {
    return std::nullopt;
  }
  return value;
}

void parse_size(const std::string & text, RunnerOptions & options)
{
  const std::size_t cross = text.find('x');
  const std::optional<std::uint32_t> width = parse_side(text.substr(0, cross));
  const std::optional<std::uint32_t> height =
    cross == std::string::npos ? std::nullopt : parse_side(text.substr(cross + 1));
  if (!width || !height) {
    throw UsageError(
            "--size " + text + ": expected WIDTHxHEIGHT in pixels, each 1.." +
            std::to_string(kLargestSampleSide) + ", for example 640x480");
  }
  options.sample_width = *width;
  options.sample_height = *height;
}

}  // namespace

RunnerOptions parse_runner_options(
  const std::vector<std::string> & arguments, const std::string & default_config_path)
{
  const CommandLine given(arguments, runner_options());

  RunnerOptions options;
  if (given.has("--help")) {
    options.show_help = true;
    return options;
  }
  options.config_path = given.value_or("--config", default_config_path);

  const bool files = given.has("--depth1") || given.has("--depth2") || given.has("--rgb1") ||
    given.has("--rgb2") || given.has("--truth");
  const int sources =
    (files ? 1 : 0) + (given.has("--sample") ? 1 : 0) + (given.has("--sequence") ? 1 : 0);
  if (sources == 0) {
    throw UsageError(
            "nothing to do: give --depth1, --depth2 and --rgb1, or --sample, or --sequence DIR");
  }
  if (sources > 1) {
    throw UsageError("choose one source: image files (--depth1 ...), --sample or --sequence");
  }
  if (given.has("--size") && !given.has("--sample")) {
    throw UsageError("--size goes with --sample only");
  }
  if (!given.has("--out")) {
    throw UsageError("--out DIR is missing: the runner needs a directory for its outputs");
  }
  options.output_directory = given.value_of("--out");

  if (files) {
    for (const char * required : {"--depth1", "--depth2", "--rgb1"}) {
      if (!given.has(required)) {
        throw UsageError(
                std::string(required) +
                " is missing: a single frame needs --depth1, --depth2 and --rgb1");
      }
    }
    options.source = FrameSource::kFiles;
    options.files.depth_1 = given.value_of("--depth1");
    options.files.depth_2 = given.value_of("--depth2");
    options.files.rgb_1 = given.value_of("--rgb1");
    if (given.has("--rgb2")) {
      options.files.rgb_2 = given.value_of("--rgb2");
    }
    if (given.has("--truth")) {
      options.files.truth_1 = given.value_of("--truth");
    }
  } else if (given.has("--sample")) {
    options.source = FrameSource::kSample;
    if (given.has("--size")) {
      parse_size(given.value_of("--size"), options);
    }
  } else {
    options.source = FrameSource::kSequence;
    options.sequence_directory = given.value_of("--sequence");
  }
  return options;
}

std::string runner_usage()
{
  return
    "Usage:\n"
    "  tavrinox_offline_runner [--config FILE] --depth1 FILE --depth2 FILE --rgb1 FILE "
    "[--rgb2 FILE]\n"
    "                          [--truth FILE] --out DIR\n"
    "  tavrinox_offline_runner [--config FILE] --sample [--size WxH] --out DIR\n"
    "  tavrinox_offline_runner [--config FILE] --sequence DIR --out DIR\n"
    "\n"
    "Runs camera frames through the converter's pipeline, exactly as the ROS 2 node does, and\n"
    "writes its outputs with a preview picture.\n"
    "\n"
    "  --config FILE   camera configuration (default: the package's config/camera_config.yaml)\n"
    "  --depth1 FILE   camera 1 depth, single-channel 16-bit PNG in millimetres (0 = no depth)\n"
    "  --depth2 FILE   camera 2 depth, same format\n"
    "  --rgb1 FILE     camera 1 colour, any format OpenCV reads\n"
    "  --rgb2 FILE     camera 2 colour (checked, shown in the preview when there is no truth)\n"
    "  --truth FILE    camera 1's complete true depth, to score the filled pixels\n"
    "  --sample        the generated tabletop sample scene (its truth included)\n"
    "  --size WxH      image size of the sample scene (default 640x480)\n"
    "  --sequence DIR  numbered frame sets: DIR/000001_depth1.png, 000001_depth2.png,\n"
    "                  000001_rgb1.png, optional 000001_rgb2.png and 000001_truth1.png, ...\n"
    "  --out DIR       output directory (created if missing); a sequence writes DIR/000001/...\n"
    "  -h, --help      this text\n"
    "\n"
    "Outputs: cam1_cloud.pcd, cam2_cloud.pcd, converted_cloud.pcd, completed_depth.png,\n"
    "color.png, preview.png (and inputs/ with --sample). Exit status: 0 done, 2 bad input,\n"
    "configuration or output directory (one line on standard error, no output files), "
    "1 internal error.\n";
}

}  // namespace tavrinox_camera_convertor
