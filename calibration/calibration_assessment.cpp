// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "calibration_assessment.hpp"

#include <pcl/conversions.h>

#include "calibration_refusal.hpp"
#include "camera_correction.hpp"
#include "cloud_agreement.hpp"
#include "overlap_shift.hpp"
#include "preview_drawing.hpp"
#include "sampling_voxel.hpp"
#include "shared_region.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

// Fewer points than these leave the figures to chance.
constexpr std::size_t kMinimumCloudPoints = 1000;
constexpr std::size_t kMinimumSurfacePoints = 500;
constexpr std::size_t kMinimumOverlapPoints = 500;
// The shared region reaches this far beyond where both clouds lie: as far as ICP's first stage
// looks.
constexpr float kRegionMarginM = 0.05f;

pcl::PointCloud<pcl::PointXYZ>::Ptr xyz_cloud(const pcl::PCLPointCloud2 & encoded, int camera)
{
  auto cloud = pcl::make_shared<pcl::PointCloud<pcl::PointXYZ>>();
  pcl::fromPCLPointCloud2(encoded, *cloud);
  if (cloud->size() < kMinimumCloudPoints) {
    throw CalibrationRefusal(
            "too few points: camera " + std::to_string(camera) + "'s depth image gives " +
            std::to_string(cloud->size()) + " points, at least " +
            std::to_string(kMinimumCloudPoints) + " are needed; check that it measures the scene");
  }
  return cloud;
}

/// Both clouds thinned with normals where they meet, and camera 2's agreement with camera 1.
void measure(
  Assessment & assessment, const CameraConfig & config, const SamplingSettings & sampling)
{
  const std::array<pcl::PointCloud<pcl::PointXYZ>::Ptr, 2> clouds = {
    xyz_cloud(assessment.clouds.camera_1, 1), xyz_cloud(assessment.clouds.camera_2, 2)};
  const SharedRegion region = shared_region(*clouds[0], *clouds[1], kRegionMarginM);
  if (region.empty) {
    throw CalibrationRefusal(
            "no overlap: the two cameras' clouds lie in different parts of the arm frame; both "
            "must see a common part of the scene, and each calibration must be right to a few "
            "centimetres");
  }
  const std::array<Eigen::Vector3f, 2> viewpoints = {
    camera_position(config.extrinsic_1), camera_position(config.extrinsic_2)};
  assessment.sampling = sampling;
  assessment.sampling.voxel_m = sampling_voxel(region, sampling);
  for (std::size_t c = 0; c < 2; ++c) {
    assessment.surfaces[c] =
      surface_sample(clouds[c], region, viewpoints[c], assessment.sampling);
    if (assessment.surfaces[c]->size() < kMinimumSurfacePoints) {
      throw CalibrationRefusal(
              "too few points: camera " + std::to_string(c + 1) + " has " +
              std::to_string(assessment.surfaces[c]->size()) + " surface points (one per " +
              format_decimal(1000.0 * assessment.sampling.voxel_m, 0) +
              " mm voxel) where both cameras look, at least " +
              std::to_string(kMinimumSurfacePoints) + " are needed");
    }
  }
  const Agreement agreement = measure_agreement(assessment.surfaces[0], *assessment.surfaces[1]);
  if (agreement.overlap.size() < kMinimumOverlapPoints) {
    throw CalibrationRefusal(
            "no overlap: only " + std::to_string(agreement.overlap.size()) + " of camera 2's " +
            std::to_string(agreement.points) +
            " points lie within 2 cm of camera 1's surface, facing the same way; at least " +
            std::to_string(kMinimumOverlapPoints) + " are needed: both cameras must see a common "
            "part of the scene, and each calibration must be right to a few centimetres");
  }
  assessment.figures.agreement = agreement;
}

}  // namespace

Assessment assess(
  const DepthImages & depth, const LoadedConfig & loaded, const CalibrationOptions & options,
  const SamplingSettings & sampling, const RegistrationSettings & registration)
{
  const int camera = options.refined_camera;
  Assessment assessment;
  assessment.clouds = build_arm_clouds(depth, loaded.config);
  measure(assessment, loaded.config, sampling);

  const RegistrationResult result =
    register_onto(assessment.surfaces[2 - camera], assessment.surfaces[camera - 1], registration);
  if (!result.converged) {
    throw CalibrationRefusal(
            "registration did not converge: ICP did not settle within " +
            std::to_string(registration.iterations_per_stage) +
            " iterations; the cameras may share too little surface, or only surfaces that cannot "
            "pin the pose down (a single plane)");
  }
  assessment.configured = read_extrinsic_values(loaded.text, camera, options.config_path);
  CalibrationFigures & figures = assessment.figures;
  figures.registered_camera = camera;
  figures.correction = correct_camera(result.correction, assessment.configured);
  figures.shift = measure_overlap_shift(figures.agreement.overlap, figures.correction.correction);
  if (!within_limits(figures.correction, options.max_rotation_deg, options.max_translation_mm)) {
    throw CalibrationRefusal(
            "implausible correction: registration would turn camera " + std::to_string(camera) +
            " by " + format_decimal(figures.correction.rotation_deg, 2) + " deg and move it by " +
            format_decimal(1000.0 * figures.correction.camera_shift_m.norm(), 1) +
            " mm, beyond the limits of " + format_decimal(options.max_rotation_deg, 1) +
            " deg and " + format_decimal(options.max_translation_mm, 1) +
            " mm (--max-rotation-deg, --max-translation-mm); check the calibration by hand");
  }
  return assessment;
}

std::string registration_summary(
  int camera, const RegistrationSettings & settings, const SamplingSettings & sampling)
{
  std::string distances;
  for (const float distance : settings.correspondence_distances_m) {
    distances += (distances.empty() ? "" : ", ") + format_decimal(1000.0 * distance, 0);
  }
  return "registering camera " + std::to_string(camera) + " onto camera " +
         std::to_string(3 - camera) + " (point-to-plane ICP on " +
         format_decimal(1000.0 * sampling.voxel_m, 0) + " mm voxels, pairs within " + distances +
         " mm, the closest " + format_decimal(100.0 * settings.kept_share, 0) + " % kept)";
}

}  // namespace tavrinox_camera_convertor
