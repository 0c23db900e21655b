// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "cloud_registration.hpp"

#include <pcl/filters/random_sample.h>
#include <pcl/kdtree/kdtree_flann.h>
#include <pcl/registration/correspondence_rejection_trimmed.h>
#include <pcl/registration/icp.h>

#include <vector>

namespace tavrinox_camera_convertor
{
namespace
{

// An iteration that moves the cloud by less than 0.1 mm and turns it by less than 0.01 degrees has
// settled. Trimming makes the last iterations cycle among a few poses about that far apart; waiting
// for smaller steps would call such a result unconverged without making it any better.
constexpr double kSettledSquaredTranslation = 1e-8;
constexpr double kSettledRotationCosine = 1.0 - 1.5e-8;

pcl::PointCloud<pcl::PointNormal>::ConstPtr random_sample(
  const pcl::PointCloud<pcl::PointNormal>::ConstPtr & cloud, std::size_t points)
{
  if (cloud->size() <= points) {
    return cloud;
  }
  pcl::RandomSample<pcl::PointNormal> sample;
  sample.setInputCloud(cloud);
  sample.setSample(static_cast<unsigned int>(points));
  sample.setSeed(1);
  auto result = pcl::make_shared<pcl::PointCloud<pcl::PointNormal>>();
  sample.filter(*result);
  return result;
}

/// The points of `moving` within `reach` of some reference point. Only they can ever pair, and the
/// others cost most: a nearest-neighbour search far from every point visits much of the tree.
pcl::PointCloud<pcl::PointNormal>::ConstPtr within_reach(
  const pcl::PointCloud<pcl::PointNormal>::ConstPtr & reference,
  const pcl::PointCloud<pcl::PointNormal>::ConstPtr & moving, float reach)
{
  pcl::KdTreeFLANN<pcl::PointNormal> tree;
  tree.setInputCloud(reference);
  pcl::Indices found;
  std::vector<float> squared_distances;
  auto result = pcl::make_shared<pcl::PointCloud<pcl::PointNormal>>();
  for (const pcl::PointNormal & point : *moving) {
    // A search bounded by the radius and stopped at the first hit is cheap even for far points.
    if (tree.radiusSearch(point, reach, found, squared_distances, 1) > 0) {
      result->push_back(point);
    }
  }
  return result;
}

}  // namespace

RegistrationResult register_onto(
  const pcl::PointCloud<pcl::PointNormal>::ConstPtr & reference,
  const pcl::PointCloud<pcl::PointNormal>::ConstPtr & moving, const RegistrationSettings & settings)
{
  if (settings.correspondence_distances_m.empty() || reference->empty()) {
    return {};
  }
  // Twice the widest pairing distance: the first stage cannot move a point farther than that.
  const pcl::PointCloud<pcl::PointNormal>::ConstPtr candidates =
    within_reach(reference, moving, 2.0f * settings.correspondence_distances_m.front());
  const pcl::PointCloud<pcl::PointNormal>::ConstPtr sample = random_sample(
    candidates,
    settings.coarse_moving_points);
  RegistrationResult result;
  // In double, so that the convergence test resolves turns far below float's 3e-4 radians.
  using Icp = pcl::IterativeClosestPointWithNormals<pcl::PointNormal, pcl::PointNormal, double>;
  Icp::Matrix4 estimate = Icp::Matrix4::Identity();
  pcl::PointCloud<pcl::PointNormal> aligned;
  const std::size_t stages = settings.correspondence_distances_m.size();
  for (std::size_t stage = 0; stage < stages; ++stage) {
    Icp icp;
    icp.setInputSource(stage + 1 == stages ? candidates : sample);
    icp.setInputTarget(reference);
    icp.setMaxCorrespondenceDistance(settings.correspondence_distances_m[stage]);
    icp.setMaximumIterations(settings.iterations_per_stage);
    icp.setTransformationEpsilon(kSettledSquaredTranslation);
    icp.setTransformationRotationEpsilon(kSettledRotationCosine);
    icp.setEuclideanFitnessEpsilon(0.0);
    icp.getConvergeCriteria()->setFailureAfterMaximumIterations(true);
    auto trimmed = pcl::make_shared<pcl::registration::CorrespondenceRejectorTrimmed>();
    trimmed->setOverlapRatio(settings.kept_share);
    icp.addCorrespondenceRejector(trimmed);
    icp.align(aligned, estimate);
    estimate = icp.getFinalTransformation();
    result.converged = icp.hasConverged();
  }
  result.correction = estimate;
  return result;
}

}  // namespace tavrinox_camera_convertor
