// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "calibration_options.hpp"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>
#include <optional>
#include <string_view>

#include "runner_error.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

constexpr std::string_view kFlags[] = {"--help", "--sample", "--refine"};
constexpr std::string_view kOptionsWithValue[] = {
  "--config", "--depth1", "--depth2", "--refine-camera", "--write", "--out", "--max-translation-mm",
  "--max-rotation-deg"};

template<std::size_t N>
bool is_one_of(const std::string & name, const std::string_view (&names)[N])
{
  return std::find(std::begin(names), std::end(names), name) != std::end(names);
}

/// Every option given, by name, with its value ("" for a flag).
std::map<std::string, std::string> collect(const std::vector<std::string> & arguments)
{
  std::map<std::string, std::string> given;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    std::string name = arguments[i];
    std::optional<std::string> value;
    const std::size_t equals = name.find('=');
    if (name.rfind("--", 0) == 0 && equals != std::string::npos) {
      value = name.substr(equals + 1);
      name = name.substr(0, equals);
    }
    if (name == "-h") {
      name = "--help";
    }
    const bool is_flag = is_one_of(name, kFlags);
    if (!is_flag && !is_one_of(name, kOptionsWithValue)) {
      throw UsageError(
              name.rfind("-", 0) == 0 ? "unknown option " + name : "unexpected argument \"" + name + "\"");
    }
    if (is_flag && value) {
      throw UsageError(name + " takes no value");
    }
    if (!is_flag && !value) {
      if (i + 1 >= arguments.size()) {
        throw UsageError(name + " needs a value");
      }
      value = arguments[++i];
    }
    if (!is_flag && value->empty()) {
      throw UsageError(name + " needs a non-empty value");
    }
    if (!given.emplace(name, value.value_or("")).second) {
      throw UsageError(name + " is given twice");
    }
  }
  return given;
}

double parse_limit(const std::string & name, const std::string & text)
{
  char * end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  if (end == text.c_str() || *end != '\0' || !std::isfinite(value) || value <= 0.0) {
    throw UsageError(name + " " + text + ": expected a positive number");
  }
  return value;
}

}  // namespace

CalibrationOptions parse_calibration_options(
  const std::vector<std::string> & arguments, const std::string & default_config_path)
{
  const std::map<std::string, std::string> given = collect(arguments);
  const auto has = [&given](const char * name) {return given.count(name) != 0;};
  const auto value_of = [&given](const char * name) {return given.at(name);};

  CalibrationOptions options;
  if (has("--help")) {
    options.show_help = true;
    return options;
  }
  options.config_path = has("--config") ? value_of("--config") : default_config_path;

  const bool files = has("--depth1") || has("--depth2");
  if (files == has("--sample")) {
    throw UsageError(
            files ? "choose one source: --depth1 and --depth2, or --sample" :
            "nothing to check: give --depth1 FILE and --depth2 FILE, or --sample");
  }
  if (files) {
    for (const char * required : {"--depth1", "--depth2"}) {
      if (!has(required)) {
        throw UsageError(std::string(required) + " is missing: a check needs both cameras' depth images");
      }
    }
    options.depth_1 = value_of("--depth1");
    options.depth_2 = value_of("--depth2");
  }
  options.use_sample = has("--sample");

  options.refine = has("--refine") || has("--refine-camera");
  if (has("--refine-camera")) {
    const std::string camera = value_of("--refine-camera");
    if (camera != "1" && camera != "2") {
      throw UsageError("--refine-camera " + camera + ": expected 1 or 2");
    }
    options.refined_camera = camera == "1" ? 1 : 2;
  }
  for (const char * refine_only : {"--write", "--max-translation-mm", "--max-rotation-deg"}) {
    if (has(refine_only) && !options.refine) {
      throw UsageError(std::string(refine_only) + " goes with --refine only");
    }
  }
  if (has("--write")) {
    options.write_path = value_of("--write");
  }
  if (has("--out")) {
    options.output_directory = value_of("--out");
  }
  if (has("--max-translation-mm")) {
    options.max_translation_mm = parse_limit("--max-translation-mm", value_of("--max-translation-mm"));
  }
  if (has("--max-rotation-deg")) {
    options.max_rotation_deg = parse_limit("--max-rotation-deg", value_of("--max-rotation-deg"));
  }
  return options;
}

std::string calibration_usage()
{
  return
    "Usage:\n"
    "  tavrinox_calibration_check [--config FILE] (--depth1 FILE --depth2 FILE | --sample) [--out DIR]\n"
    "  tavrinox_calibration_check [--config FILE] (--depth1 FILE --depth2 FILE | --sample) --refine\n"
    "                             [--refine-camera 1|2] [--write FILE] [--out DIR]\n"
    "                             [--max-translation-mm MM] [--max-rotation-deg DEG]\n"
    "\n"
    "Checks how well the two cameras' extrinsic calibrations agree on one frame set: both depth\n"
    "images become arm-frame clouds exactly as the node builds them, camera 2's cloud is measured\n"
    "against camera 1's surface where they overlap, and ICP registers camera 2's cloud onto camera\n"
    "1's to find how far it is off. With --refine the correction is applied and measured again.\n"
    "\n"
    "  --config FILE           camera configuration (default: the package's config/camera_config.yaml)\n"
    "  --depth1 FILE           camera 1 depth, single-channel 16-bit PNG in millimetres (0 = no depth)\n"
    "  --depth2 FILE           camera 2 depth, same format\n"
    "  --sample                the generated tabletop scene, rendered with the package's own\n"
    "                          calibration, so that --config is checked against the truth\n"
    "  --refine                apply the registration's correction to camera 2 and measure again\n"
    "  --refine-camera 1|2     the camera to register and correct (default 2; implies --refine)\n"
    "  --write FILE            write the configuration with the corrected Rxyz and Txyz to FILE;\n"
    "                          every other line is kept as it is\n"
    "  --out DIR               directory for the picture (default: next to --write's FILE)\n"
    "  --max-translation-mm MM refuse a correction that moves the camera farther (default 100)\n"
    "  --max-rotation-deg DEG  refuse a correction that turns the camera farther (default 10)\n"
    "  -h, --help              this text\n"
    "\n"
    "Verdict: the calibration agrees when both the median distance of camera 2's points to camera\n"
    "1's surface and the median distance registration moves them are at most 5 mm.\n"
    "Picture: calibration_check.png, or calibration_before_after.png with --refine.\n"
    "Exit status: 0 agrees or refined; 4 the check found disagreement (without --refine);\n"
    "3 no trustworthy result (too few points, no overlap, no convergence, an implausible\n"
    "correction; nothing written); 2 unreadable input, bad configuration or command line;\n"
    "1 internal error.\n";
}

}  // namespace tavrinox_camera_convertor
