// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "calibration_options.hpp"

#include <cmath>
#include <cstdlib>

#include "command_line.hpp"
#include "runner_error.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

KnownOptions calibration_options()
{
  KnownOptions known;
  known.flags = {"--sample", "--refine"};
  known.with_value = {
    "--config", "--depth1", "--depth2", "--refine-camera", "--write", "--out",
    "--max-translation-mm", "--max-rotation-deg"};
  return known;
}

/// The positive number given to the option `name`, or `fallback` when it was not given.
double limit_or(const CommandLine & given, const std::string & name, double fallback)
{
  if (!given.has(name)) {
    return fallback;
  }
  const std::string & text = given.value_of(name);
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
  const CommandLine given(arguments, calibration_options());

  CalibrationOptions options;
  if (given.has("--help")) {
    options.show_help = true;
    return options;
  }
  options.config_path = given.value_or("--config", default_config_path);

  const bool files = given.has("--depth1") || given.has("--depth2");
  if (files == given.has("--sample")) {
    throw UsageError(
            files ? "choose one source: --depth1 and --depth2, or --sample" :
            "nothing to check: give --depth1 FILE and --depth2 FILE, or --sample");
  }
  if (files) {
    for (const char * required : {"--depth1", "--depth2"}) {
      if (!given.has(required)) {
        throw UsageError(
                std::string(required) + " is missing: a check needs both cameras' depth images");
      }
    }
    options.depth_1 = given.value_of("--depth1");
    options.depth_2 = given.value_of("--depth2");
  }
  options.use_sample = given.has("--sample");

  options.refine = given.has("--refine") || given.has("--refine-camera");
  if (given.has("--refine-camera")) {
    const std::string camera = given.value_of("--refine-camera");
    if (camera != "1" && camera != "2") {
      throw UsageError("--refine-camera " + camera + ": expected 1 or 2");
    }
    options.refined_camera = camera == "1" ? 1 : 2;
  }
  for (const char * refine_only : {"--write", "--max-translation-mm", "--max-rotation-deg"}) {
    if (given.has(refine_only) && !options.refine) {
      throw UsageError(std::string(refine_only) + " goes with --refine only");
    }
  }
  if (given.has("--write")) {
    options.write_path = given.value_of("--write");
  }
  if (given.has("--out")) {
    options.output_directory = given.value_of("--out");
  }
  options.max_translation_mm = limit_or(given, "--max-translation-mm", options.max_translation_mm);
  options.max_rotation_deg = limit_or(given, "--max-rotation-deg", options.max_rotation_deg);
  return options;
}

std::string calibration_usage()
{
  return
    "Usage:\n"
    "  tavrinox_calibration_check [--config FILE] (--depth1 FILE --depth2 FILE | --sample) "
    "[--out DIR]\n"
    "  tavrinox_calibration_check [--config FILE] (--depth1 FILE --depth2 FILE | --sample) "
    "--refine\n"
    "                             [--refine-camera 1|2] [--write FILE] [--out DIR]\n"
    "                             [--max-translation-mm MM] [--max-rotation-deg DEG]\n"
    "\n"
    "Checks how well the two cameras' extrinsic calibrations agree on one frame set: both depth\n"
    "images become arm-frame clouds exactly as the node builds them, camera 2's cloud is measured\n"
    "against camera 1's surface where they overlap, and ICP registers camera 2's cloud onto "
    "camera\n"
    "1's to find how far it is off. With --refine the correction is applied and measured again.\n"
    "\n"
    "  --config FILE           camera configuration "
    "(default: the package's config/camera_config.yaml)\n"
    "  --depth1 FILE           camera 1 depth, single-channel 16-bit PNG in millimetres "
    "(0 = no depth)\n"
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
