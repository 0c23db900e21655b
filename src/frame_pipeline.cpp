// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "tavrinox_camera_convertor/frame_pipeline.hpp"

#include <Eigen/LU>

#include <chrono>

#include "tavrinox_camera_convertor/arm_cloud.hpp"
#include "tavrinox_camera_convertor/depth_completion.hpp"
#include "tavrinox_camera_convertor/depth_pixels.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

using SteadyClock = std::chrono::steady_clock;

double milliseconds_between(SteadyClock::time_point start, SteadyClock::time_point end)
{
  return std::chrono::duration<double, std::milli>(end - start).count();
}

}  // namespace

FramePipeline::FramePipeline(const CameraConfig & config, InstructionSet instruction_set)
: config_(config), arm_to_camera_1_(config.extrinsic_1.inverse()), clouds_(instruction_set)
{
}

void FramePipeline::process(
  const DepthPair & depth, const ColorConverter & color, Clock & clock, FrameOutput & output)
{
  const SteadyClock::time_point started = SteadyClock::now();
  // Everything that can reject the frame happens before the first publication.
  const DepthPixels depth_1(depth.depth_1, "camera 1", scratch_1_);
  const DepthPixels depth_2(depth.depth_2, "camera 2", scratch_2_);
  // Camera 1's measurement is in place from the start and projections fill only its holes:
  // the same image as rendering everything and laying the measurement over it.
  start_from_measured_depth(depth_1, depth_image_);
  const SteadyClock::time_point checked = SteadyClock::now();

  // The merged cloud (camera 1's records, then camera 2's) is rendered while it is written,
  // row by row, and never built as one cloud.
  // Projections write only camera 1's holes, so a frame without holes is not rendered at all.
  holes_1_.assign(depth_1);
  const DepthRenderTarget render{arm_to_camera_1_, config_.intrinsics_1, depth_image_, &holes_1_};
  const DepthRenderTarget * const target = holes_1_.has_holes() ? &render : nullptr;
  clouds_.write(depth_1, config_.intrinsics_1, config_.extrinsic_1, cam1_cloud_.cloud, target);
  clouds_.write(depth_2, config_.intrinsics_2, config_.extrinsic_2, cam2_cloud_.cloud, target);
  const SteadyClock::time_point completed_at = SteadyClock::now();

  const DepthPixels completed(view_of(depth_image_), "completed", scratch_completed_);
  clouds_.write(completed, config_.intrinsics_1, config_.extrinsic_1, converted_cloud_.cloud);
  const SteadyClock::time_point converted_at = SteadyClock::now();

  cam1_cloud_.header.frame_id = config_.arm_frame_id;
  cam1_cloud_.header.stamp = clock.now();
  output.publish_cam1_cloud(cam1_cloud_);
  cam2_cloud_.header.frame_id = config_.arm_frame_id;
  cam2_cloud_.header.stamp = clock.now();
  output.publish_cam2_cloud(cam2_cloud_);

  const Stamp image_stamp = clock.now();
  depth_image_.header.stamp = image_stamp;
  depth_image_.header.frame_id.clear();
  output.publish_depth_image(depth_image_);

  // Converted only now, so a colour image that cannot be converted still leaves the depth image out.
  color.convert_to_rgb8(color_image_);
  color_image_.header.stamp = image_stamp;
  color_image_.header.frame_id.clear();
  color_image_.encoding = "rgb8";
  color_image_.is_bigendian = host_is_bigendian() ? 1 : 0;
  output.publish_color_image(color_image_);

  converted_cloud_.header.frame_id = config_.arm_frame_id;
  converted_cloud_.header.stamp = clock.now();
  output.publish_converted_cloud(converted_cloud_);

  timings_.check_ms = milliseconds_between(started, checked);
  timings_.clouds_and_completion_ms = milliseconds_between(checked, completed_at);
  timings_.converted_cloud_ms = milliseconds_between(completed_at, converted_at);
  timings_.publish_ms = milliseconds_between(converted_at, SteadyClock::now());
}

}  // namespace tavrinox_camera_convertor
