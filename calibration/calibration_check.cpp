// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "calibration_check.hpp"

#include <optional>
#include <utility>

#include "arm_clouds.hpp"
#include "calibration_assessment.hpp"
#include "calibration_options.hpp"
#include "calibration_outputs.hpp"
#include "calibration_picture.hpp"
#include "calibration_refusal.hpp"
#include "calibration_report.hpp"
#include "image_files.hpp"
#include "loaded_config.hpp"
#include "preview_drawing.hpp"
#include "runner_failure.hpp"
#include "sample_scene.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

// ICP may lose this much median distance to noise on a calibration that already agreed.
constexpr double kNoiseToleranceMm = 0.1;

DepthImages read_depth_images(
  const CalibrationOptions & options, const std::string & sample_config_path)
{
  DepthImages depth;
  if (options.use_sample) {
    SampleScene scene = render_sample_scene(load_config_quietly(sample_config_path));
    depth.depth_1 = std::move(scene.depth_1);
    depth.depth_2 = std::move(scene.depth_2);
  } else {
    depth.depth_1 = read_depth_image(options.depth_1);
    depth.depth_2 = read_depth_image(options.depth_2);
  }
  return depth;
}

/// A refinement that leaves the cameras disagreeing, or agreeing worse than before, is no
/// correction.
void require_improvement(const CalibrationFigures & before, const CalibrationFigures & after)
{
  if (!calibration_agrees(after)) {
    throw CalibrationRefusal(
            "refinement did not reach agreement: the cameras still disagree by " +
            format_decimal(after.disagreement_mm(), 1) + " mm (at most " +
            format_decimal(kAgreementLimitMm, 1) + " mm agrees): the depth may be too noisy where "
            "the cameras overlap, the images may not show the same moment, or the intrinsics or "
            "depth scale may be off");
  }
  if (after.agreement.median_mm > before.agreement.median_mm + kNoiseToleranceMm) {
    throw CalibrationRefusal(
            "refinement did not improve the agreement (median distance " +
            format_decimal(before.agreement.median_mm, 2) + " mm before, " +
            format_decimal(after.agreement.median_mm, 2) +
            " mm after); keep the configuration as it is");
  }
}

std::size_t point_count(const pcl::PCLPointCloud2 & cloud)
{
  return static_cast<std::size_t>(cloud.width) * cloud.height;
}

int run(
  const CalibrationOptions & options, const std::string & default_config_path, std::ostream & out)
{
  const LoadedConfig loaded = load_config(options.config_path);
  const DepthImages depth = read_depth_images(options, default_config_path);
  const SamplingSettings sampling;
  const RegistrationSettings registration;
  const Assessment before = assess(depth, loaded, options, sampling, registration);
  out << "camera 1: " << point_count(before.clouds.camera_1) << " points, camera 2: " <<
    point_count(before.clouds.camera_2) << " points in the arm frame" << std::endl;
  out << registration_summary(options.refined_camera, registration, before.sampling) << std::endl;
  out << "as configured:" << std::endl << figure_lines(before.figures);
  out << verdict_line(before.figures) << std::endl;

  std::vector<PictureRow> rows;
  const cv::Size image_size_1(
    static_cast<int>(depth.depth_1.width), static_cast<int>(depth.depth_1.height));
  rows.push_back(
    {"before: as configured", before.clouds, loaded.config, image_size_1, before.figures});
  if (!options.refine) {
    write_outputs(options, rows, "calibration_check.png", std::nullopt, out);
    return calibration_agrees(before.figures) ? 0 : kExitCamerasDisagree;
  }

  const LoadedConfig corrected = with_extrinsic_values(
    loaded, options.refined_camera,
    before.figures.correction.corrected_values, options.config_path);
  out << "refined:" << std::endl <<
    corrected_value_lines(options.refined_camera, before.figures.correction, before.configured);
  const Assessment after = assess(depth, corrected, options, sampling, registration);
  out << "after refinement:" << std::endl << figure_lines(after.figures);
  require_improvement(before.figures, after.figures);
  out << verdict_line(after.figures) << std::endl;
  rows.push_back(
    {"after: camera " + std::to_string(options.refined_camera) + " refined",
      after.clouds, corrected.config, image_size_1, after.figures});
  write_outputs(options, rows, "calibration_before_after.png", corrected, out);
  return 0;
}

}  // namespace

int run_calibration_check(
  const std::vector<std::string> & arguments, const std::string & default_config_path,
  std::ostream & out, std::ostream & err)
{
  try {
    const CalibrationOptions options = parse_calibration_options(arguments, default_config_path);
    if (options.show_help) {
      out << calibration_usage();
      return 0;
    }
    return run(options, default_config_path, out);
  } catch (const CalibrationRefusal & refusal) {
    out.flush();
    err << "tavrinox_calibration_check: " << refusal.what() << std::endl;
    return kExitRefused;
  } catch (...) {
    const RunnerFailure failure = describe_current_failure();
    out.flush();
    err << "tavrinox_calibration_check: " << failure.message << std::endl;
    return failure.exit_status;
  }
}

}  // namespace tavrinox_camera_convertor
