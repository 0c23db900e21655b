// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "calibration_check.hpp"

#include <pcl/conversions.h>
#include <yaml-cpp/exceptions.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>

#include "arm_clouds.hpp"
#include "calibration_options.hpp"
#include "calibration_picture.hpp"
#include "calibration_refusal.hpp"
#include "calibration_report.hpp"
#include "camera_correction.hpp"
#include "cloud_agreement.hpp"
#include "cloud_registration.hpp"
#include "extrinsic_values.hpp"
#include "image_files.hpp"
#include "overlap_shift.hpp"
#include "preview_drawing.hpp"
#include "runner_error.hpp"
#include "runner_failure.hpp"
#include "sample_scene.hpp"
#include "shared_region.hpp"
#include "staged_output.hpp"
#include "surface_sample.hpp"
#include "tavrinox_camera_convertor/camera_config.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

namespace fs = std::filesystem;

// Fewer points than these leave the figures to chance.
constexpr std::size_t kMinimumCloudPoints = 1000;
constexpr std::size_t kMinimumSurfacePoints = 500;
constexpr std::size_t kMinimumOverlapPoints = 500;
// The shared region reaches this far beyond where both clouds lie: as far as ICP's first stage looks.
constexpr float kRegionMarginM = 0.05f;
// ICP may lose this much median distance to noise on a calibration that already agreed.
constexpr double kNoiseToleranceMm = 0.1;

/// The configuration's text and what load_camera_config makes of it.
struct LoadedConfig
{
  std::string text;
  CameraConfig config;
};

std::string read_text_file(const std::string & path)
{
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    throw RunnerError("configuration file " + path + ": cannot open it (" + std::strerror(errno) + ")");
  }
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

/// The matrices load_camera_config prints are the runner's business, not this report's.
CameraConfig load_config_quietly(const std::string & path)
{
  std::ostringstream matrices;
  try {
    return load_camera_config(path, matrices);
  } catch (const YAML::Exception & error) {
    throw RunnerError("configuration file " + path + ": " + error.what());
  }
}

LoadedConfig load_config(const std::string & path)
{
  LoadedConfig loaded;
  loaded.config = load_config_quietly(path);
  loaded.text = read_text_file(path);
  return loaded;
}

DepthImages read_depth_images(const CalibrationOptions & options, const std::string & sample_config_path)
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

/// Both clouds, thinned with normals, and their agreement under one calibration.
struct Measurement
{
  ArmClouds clouds;
  std::array<pcl::PointCloud<pcl::PointNormal>::Ptr, 2> surfaces;
  Agreement agreement;
};

pcl::PointCloud<pcl::PointXYZ>::Ptr xyz_cloud(const pcl::PCLPointCloud2 & encoded, int camera)
{
  auto cloud = pcl::make_shared<pcl::PointCloud<pcl::PointXYZ>>();
  pcl::fromPCLPointCloud2(encoded, *cloud);
  if (cloud->size() < kMinimumCloudPoints) {
    throw CalibrationRefusal(
            "too few points: camera " + std::to_string(camera) + "'s depth image gives " +
            std::to_string(cloud->size()) + " points, at least " + std::to_string(kMinimumCloudPoints) +
            " are needed; check that it measures the scene");
  }
  return cloud;
}

Measurement measure(const DepthImages & depth, const CameraConfig & config, const SamplingSettings & sampling)
{
  Measurement measurement;
  measurement.clouds = build_arm_clouds(depth, config);
  const std::array<pcl::PointCloud<pcl::PointXYZ>::Ptr, 2> clouds = {
    xyz_cloud(measurement.clouds.camera_1, 1), xyz_cloud(measurement.clouds.camera_2, 2)};
  const SharedRegion region = shared_region(*clouds[0], *clouds[1], kRegionMarginM);
  if (region.empty) {
    throw CalibrationRefusal(
            "no overlap: the two cameras' clouds lie in different parts of the arm frame; both must see a common "
            "part of the scene, and each calibration must be right to a few centimetres");
  }
  const std::array<Eigen::Vector3f, 2> viewpoints = {
    camera_position(config.extrinsic_1), camera_position(config.extrinsic_2)};
  for (std::size_t c = 0; c < 2; ++c) {
    measurement.surfaces[c] = surface_sample(clouds[c], region, viewpoints[c], sampling);
    if (measurement.surfaces[c]->size() < kMinimumSurfacePoints) {
      throw CalibrationRefusal(
              "too few points: camera " + std::to_string(c + 1) + " has " +
              std::to_string(measurement.surfaces[c]->size()) + " surface points (one per " +
              format_decimal(1000.0 * sampling.voxel_m, 0) + " mm voxel) where both cameras look, at least " +
              std::to_string(kMinimumSurfacePoints) + " are needed");
    }
  }
  measurement.agreement = measure_agreement(measurement.surfaces[0], *measurement.surfaces[1]);
  if (measurement.agreement.overlap.size() < kMinimumOverlapPoints) {
    throw CalibrationRefusal(
            "no overlap: only " + std::to_string(measurement.agreement.overlap.size()) + " of camera 2's " +
            std::to_string(measurement.agreement.points) + " points lie within 2 cm of camera 1's surface, facing "
            "the same way; at least " + std::to_string(kMinimumOverlapPoints) + " are needed: both cameras must see "
            "a common part of the scene, and each calibration must be right to a few centimetres");
  }
  return measurement;
}

/// Everything found under one calibration: the measurement and what registration would change.
struct Assessment
{
  Measurement measurement;
  ExtrinsicValues configured;  ///< the registered camera's Rxyz and Txyz as the configuration holds them
  CalibrationFigures figures;
};

std::string registration_summary(int camera, const RegistrationSettings & settings, const SamplingSettings & sampling)
{
  std::string distances;
  for (const float distance : settings.correspondence_distances_m) {
    distances += (distances.empty() ? "" : ", ") + format_decimal(1000.0 * distance, 0);
  }
  return "registering camera " + std::to_string(camera) + " onto camera " + std::to_string(3 - camera) +
         " (point-to-plane ICP on " + format_decimal(1000.0 * sampling.voxel_m, 0) + " mm voxels, pairs within " +
         distances + " mm, the closest " + format_decimal(100.0 * settings.kept_share, 0) + " % kept)";
}

/// Measures both clouds under `loaded`'s calibration and registers the chosen camera onto the other.
Assessment assess(
  const DepthImages & depth, const LoadedConfig & loaded, const CalibrationOptions & options,
  const SamplingSettings & sampling)
{
  const int camera = options.refined_camera;
  Assessment assessment;
  assessment.measurement = measure(depth, loaded.config, sampling);
  const RegistrationSettings settings;
  const RegistrationResult registration = register_onto(
    assessment.measurement.surfaces[2 - camera], assessment.measurement.surfaces[camera - 1], settings);
  if (!registration.converged) {
    throw CalibrationRefusal(
            "registration did not converge: ICP did not settle within " +
            std::to_string(settings.iterations_per_stage) + " iterations; the cameras may share too little "
            "surface, or only surfaces that cannot pin the pose down (a single plane)");
  }
  assessment.configured = read_extrinsic_values(loaded.text, camera, options.config_path);
  CalibrationFigures & figures = assessment.figures;
  figures.agreement = assessment.measurement.agreement;
  figures.registered_camera = camera;
  figures.correction = correct_camera(registration.correction, assessment.configured);
  figures.shift = measure_overlap_shift(figures.agreement.overlap, figures.correction.correction);

  if (!within_limits(figures.correction, options.max_rotation_deg, options.max_translation_mm)) {
    throw CalibrationRefusal(
            "implausible correction: registration would turn camera " + std::to_string(camera) + " by " +
            format_decimal(figures.correction.rotation_deg, 2) + " deg and move it by " + format_decimal(1000.0 * figures.correction.camera_shift_m.norm(), 1) +
            " mm, beyond the limits of " + format_decimal(options.max_rotation_deg, 1) + " deg and " +
            format_decimal(options.max_translation_mm, 1) + " mm (--max-rotation-deg, --max-translation-mm); "
            "check the calibration by hand");
  }
  return assessment;
}

/// The configuration with the registered camera's corrected Rxyz and Txyz, as text and as the node reads it.
LoadedConfig corrected_config(const LoadedConfig & loaded, const Assessment & before, const CalibrationOptions & options)
{
  const int camera = options.refined_camera;
  LoadedConfig corrected;
  corrected.text = replace_extrinsic_values(
    loaded.text, camera, before.figures.correction.corrected_values, options.config_path);
  corrected.config = loaded.config;
  (camera == 1 ? corrected.config.extrinsic_1 : corrected.config.extrinsic_2) =
    configured_extrinsic(corrected.text, camera, options.config_path);
  return corrected;
}

/// A refinement that leaves the cameras disagreeing, or agreeing worse than before, is no correction.
void require_improvement(const CalibrationFigures & before, const CalibrationFigures & after)
{
  if (!calibration_agrees(after)) {
    throw CalibrationRefusal(
            "refinement did not reach agreement: the cameras still disagree by " +
            format_decimal(after.disagreement_mm(), 1) + " mm (at most " + format_decimal(kAgreementLimitMm, 1) +
            " mm agrees): the depth may be too noisy where the cameras overlap, the images may not show the same "
            "moment, or the intrinsics or depth scale may be off");
  }
  if (after.agreement.median_mm > before.agreement.median_mm + kNoiseToleranceMm) {
    throw CalibrationRefusal(
            "refinement did not improve the agreement (median distance " +
            format_decimal(before.agreement.median_mm, 2) + " mm before, " + format_decimal(after.agreement.median_mm, 2) +
            " mm after); keep the configuration as it is");
  }
}

/// Where the picture goes: --out, else next to --write's file, else nowhere (empty).
fs::path picture_directory(const CalibrationOptions & options)
{
  if (!options.output_directory.empty()) {
    return options.output_directory;
  }
  if (!options.write_path.empty()) {
    const fs::path parent = fs::path(options.write_path).parent_path();
    return parent.empty() ? fs::path(".") : parent;
  }
  return {};
}

bool same_directory(const fs::path & a, const fs::path & b)
{
  return fs::absolute(a).lexically_normal() == fs::absolute(b).lexically_normal();
}

bool same_config(const CameraConfig & a, const CameraConfig & b)
{
  const auto same_intrinsics = [](const CameraIntrinsics & x, const CameraIntrinsics & y) {
      return x.fx == y.fx && x.fy == y.fy && x.cx == y.cx && x.cy == y.cy;
    };
  return a.extrinsic_1 == b.extrinsic_1 && a.extrinsic_2 == b.extrinsic_2 && a.arm_frame_id == b.arm_frame_id &&
         same_intrinsics(a.intrinsics_1, b.intrinsics_1) && same_intrinsics(a.intrinsics_2, b.intrinsics_2) &&
         a.rgb_topic_1 == b.rgb_topic_1 && a.depth_topic_1 == b.depth_topic_1 && a.rgb_topic_2 == b.rgb_topic_2 &&
         a.depth_topic_2 == b.depth_topic_2;
}

void stage_config(StagedOutput & staged, const std::string & name, const LoadedConfig & corrected)
{
  const StagedOutput::File file = staged.stage(name);
  std::ofstream stream(file.temporary, std::ios::binary | std::ios::trunc);
  stream << corrected.text;
  stream.close();
  if (!stream) {
    throw RunnerError(file.final_path + ": cannot write it (" + std::strerror(errno) + ")");
  }
  // The node's own loader must read back exactly the calibration that was measured.
  if (!same_config(load_config_quietly(file.temporary.string()), corrected.config)) {
    throw std::logic_error("the rewritten configuration " + file.final_path + " reads back differently");
  }
}

/// The picture and the corrected configuration, committed together once both are written.
void write_outputs(
  const CalibrationOptions & options, const std::vector<PictureRow> & rows, const std::string & picture_name,
  const std::optional<LoadedConfig> & corrected, std::ostream & out)
{
  const fs::path pictures = picture_directory(options);
  std::optional<StagedOutput> config_output;
  std::optional<StagedOutput> picture_output;
  if (corrected && !options.write_path.empty()) {
    const fs::path path(options.write_path);
    if (fs::is_directory(path)) {
      throw RunnerError("--write " + options.write_path + ": is a directory; give the new configuration's file name");
    }
    config_output.emplace(path.parent_path().empty() ? fs::path(".") : path.parent_path());
    stage_config(*config_output, path.filename().string(), *corrected);
  }
  std::optional<std::string> written_picture;
  if (!pictures.empty()) {
    StagedOutput & staged = config_output && same_directory(config_output->directory(), pictures) ?
      *config_output : picture_output.emplace(pictures);
    const StagedOutput::File file = staged.stage(picture_name);
    write_png_file(draw_calibration_picture(rows), file.temporary, file.final_path);
    written_picture = file.final_path;
  }
  if (picture_output) {
    picture_output->commit();
  }
  if (config_output) {
    config_output->commit();
    out << "corrected configuration: " << options.write_path << std::endl;
  }
  if (written_picture) {
    out << "picture: " << *written_picture << std::endl;
  }
}

std::size_t point_count(const pcl::PCLPointCloud2 & cloud)
{
  return static_cast<std::size_t>(cloud.width) * cloud.height;
}

int run(const CalibrationOptions & options, const std::string & default_config_path, std::ostream & out)
{
  const LoadedConfig loaded = load_config(options.config_path);
  const DepthImages depth = read_depth_images(options, default_config_path);
  const SamplingSettings sampling;
  const RegistrationSettings registration;
  const Assessment before = assess(depth, loaded, options, sampling);
  out << "camera 1: " << point_count(before.measurement.clouds.camera_1) << " points, camera 2: " <<
    point_count(before.measurement.clouds.camera_2) << " points in the arm frame" << std::endl;
  out << registration_summary(options.refined_camera, registration, sampling) << std::endl;
  out << "as configured:" << std::endl << figure_lines(before.figures);
  out << verdict_line(before.figures) << std::endl;

  std::vector<PictureRow> rows;
  const cv::Size image_size_1(static_cast<int>(depth.depth_1.width), static_cast<int>(depth.depth_1.height));
  rows.push_back({"before: as configured", before.measurement.clouds, loaded.config, image_size_1, before.figures});
  if (!options.refine) {
    write_outputs(options, rows, "calibration_check.png", std::nullopt, out);
    return calibration_agrees(before.figures) ? 0 : kExitCamerasDisagree;
  }

  const LoadedConfig corrected = corrected_config(loaded, before, options);
  out << "refined:" << std::endl <<
    corrected_value_lines(options.refined_camera, before.figures.correction, before.configured);
  const Assessment after = assess(depth, corrected, options, sampling);
  out << "after refinement:" << std::endl << figure_lines(after.figures);
  require_improvement(before.figures, after.figures);
  out << verdict_line(after.figures) << std::endl;
  rows.push_back({"after: camera " + std::to_string(options.refined_camera) + " refined",
    after.measurement.clouds, corrected.config, image_size_1, after.figures});
  write_outputs(options, rows, "calibration_before_after.png", corrected, out);
  return 0;
}

}  // namespace

int run_calibration_check(
  const std::vector<std::string> & arguments, const std::string & default_config_path, std::ostream & out,
  std::ostream & err)
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
