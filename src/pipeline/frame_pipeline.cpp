// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "tavrinox_camera_convertor/pipeline/frame_pipeline.hpp"

#include <Eigen/LU>

#include <chrono>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>

#include "tavrinox_camera_convertor/geometry/arm_cloud.hpp"
#include "tavrinox_camera_convertor/geometry/depth_completion.hpp"
#include "tavrinox_camera_convertor/geometry/depth_pixels.hpp"

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

unsigned default_frame_threads()
{
  return std::thread::hardware_concurrency() >= 2 ? 2 : 1;
}

FramePipeline::FramePipeline(
  const CameraConfig & config, InstructionSet instruction_set,
  unsigned threads)
: config_(config), arm_to_camera_1_(config.extrinsic_1.inverse()), clouds_(instruction_set),
  clouds_beside_(instruction_set)
{
  if (threads != 1 && threads != 2) {
    throw std::invalid_argument(
            "a frame runs on 1 or 2 threads, not " + std::to_string(threads));
  }
  if (threads == 2) {
    helper_ = std::make_unique<HelperThread>();
  }
}

void FramePipeline::process(
  const DepthPair & depth, const ColorConverter & color, Clock & clock, FrameOutput & output)
{
  const SteadyClock::time_point started = SteadyClock::now();
  const OutputSet wanted = output.wanted();
  // Everything that can reject the frame happens before the first publication, whoever listens.
  const DepthPixels depth_1(depth.depth_1, "camera 1", scratch_1_);
  const DepthPixels depth_2(depth.depth_2, "camera 2", scratch_2_);
  require_depth_row_fits(depth_1.width());
  const bool completion_needed =
    wanted.contains(OutputKind::depth_image) || wanted.contains(OutputKind::converted_cloud);
  if (completion_needed) {
    // Camera 1's measurement is in place from the start and projections fill only its holes:
    // the same image as rendering everything and laying the measurement over it.
    start_from_measured_depth(depth_1, depth_image_);
  }
  const SteadyClock::time_point checked = SteadyClock::now();

  // The merged cloud (camera 1's records, then camera 2's) is rendered while it is written,
  // row by row, and never built as one cloud.
  // Projections write only camera 1's holes, so a frame without holes is not rendered at all.
  const DepthRenderTarget render{arm_to_camera_1_, config_.intrinsics_1, depth_image_, &holes_1_};
  const DepthRenderTarget * target = nullptr;
  if (completion_needed) {
    holes_1_.assign(depth_1);
    target = holes_1_.has_holes() ? &render : nullptr;
  }
  write_camera_clouds(wanted, depth_1, depth_2, target);
  const SteadyClock::time_point completed_at = SteadyClock::now();

  std::optional<DepthPixels> completed;
  if (wanted.contains(OutputKind::converted_cloud)) {
    completed.emplace(view_of(depth_image_), "completed", scratch_completed_);
    clouds_.write(*completed, config_.intrinsics_1, config_.extrinsic_1, converted_cloud_.cloud);
  }
  const SteadyClock::time_point converted_at = SteadyClock::now();

  // Before the first publication: the completed image may leave with the depth image output.
  const auto source = [&wanted](
    OutputKind kind, const DepthPixels * pixels, const CameraIntrinsics & intrinsics,
    const ExtrinsicTransform & extrinsic) {
      return wanted.contains(kind) ? CloudSource{pixels, intrinsics, extrinsic} : CloudSource{};
    };
  output.note_cloud_sources(
    {source(OutputKind::cam1_cloud, &depth_1, config_.intrinsics_1, config_.extrinsic_1),
      source(OutputKind::cam2_cloud, &depth_2, config_.intrinsics_2, config_.extrinsic_2),
      source(
        OutputKind::converted_cloud, completed ? &*completed : nullptr, config_.intrinsics_1,
        config_.extrinsic_1)});

  publish_cloud_if_wanted(OutputKind::cam1_cloud, wanted, clock, output);
  publish_cloud_if_wanted(OutputKind::cam2_cloud, wanted, clock, output);

  // Both images share one reading of the clock, taken after the camera clouds were stamped.
  Stamp image_stamp;
  if (wanted.contains(OutputKind::depth_image) || wanted.contains(OutputKind::color_image)) {
    image_stamp = clock.now();
  }
  if (wanted.contains(OutputKind::depth_image)) {
    depth_image_.header.stamp = image_stamp;
    depth_image_.header.frame_id = image_frame_id_;
    output.publish_depth_image(depth_image_);
  }
  // Converted only now, so a colour image that cannot be converted still leaves the depth image
  // out; and converted while only the converted cloud listens, since a failure here withholds it.
  if (wanted.contains(OutputKind::color_image) || wanted.contains(OutputKind::converted_cloud)) {
    color.convert_to_rgb8(color_image_);
  }
  if (wanted.contains(OutputKind::color_image)) {
    color_image_.header.stamp = image_stamp;
    color_image_.header.frame_id = image_frame_id_;
    color_image_.encoding = "rgb8";
    color_image_.is_bigendian = host_is_bigendian() ? 1 : 0;
    output.publish_color_image(color_image_);
  }

  publish_cloud_if_wanted(OutputKind::converted_cloud, wanted, clock, output);

  timings_.check_ms = milliseconds_between(started, checked);
  timings_.clouds_and_completion_ms = milliseconds_between(checked, completed_at);
  timings_.converted_cloud_ms = milliseconds_between(completed_at, converted_at);
  timings_.publish_ms = milliseconds_between(converted_at, SteadyClock::now());
}

void FramePipeline::write_camera_clouds(
  OutputSet wanted, const DepthPixels & depth_1, const DepthPixels & depth_2,
  const DepthRenderTarget * target)
{
  const auto camera_1 = [&] {
      write_or_render(
        clouds_, OutputKind::cam1_cloud, wanted, depth_1, config_.intrinsics_1,
        config_.extrinsic_1, cam1_cloud_, target);
    };
  const bool both = target != nullptr ||
    (wanted.contains(OutputKind::cam1_cloud) && wanted.contains(OutputKind::cam2_cloud));
  if (!helper_ || !both) {
    camera_1();
    write_or_render(
      clouds_, OutputKind::cam2_cloud, wanted, depth_2, config_.intrinsics_2, config_.extrinsic_2,
      cam2_cloud_, target);
    return;
  }
  // Camera 2's points go to an image of their own while camera 1's are rendered, and over camera
  // 1's afterwards: they come later in the merged cloud, so where both land, camera 2's win.
  const DepthRenderTarget camera_2_target{
    arm_to_camera_1_, config_.intrinsics_1, camera_2_projection_, &holes_1_};
  helper_->run_together(
    camera_1, [&] {
      if (target != nullptr) {
        reset_depth_image(depth_image_.width, depth_image_.height, camera_2_projection_);
      }
      write_or_render(
        clouds_beside_, OutputKind::cam2_cloud, wanted, depth_2, config_.intrinsics_2,
        config_.extrinsic_2, cam2_cloud_, target != nullptr ? &camera_2_target : nullptr);
    });
  if (target != nullptr) {
    overlay_later_projection(camera_2_projection_, depth_image_);
  }
}

void FramePipeline::write_or_render(
  ArmCloudWriter & writer, OutputKind kind, OutputSet wanted, const DepthPixels & depth,
  const CameraIntrinsics & intrinsics, const ExtrinsicTransform & extrinsic,
  CloudMessage & message, const DepthRenderTarget * target)
{
  if (wanted.contains(kind)) {
    writer.write(depth, intrinsics, extrinsic, message.cloud, target);
  } else if (target != nullptr) {
    writer.render(depth, intrinsics, extrinsic, *target);
  }
}

void FramePipeline::publish_cloud_if_wanted(
  OutputKind kind, OutputSet wanted, Clock & clock, FrameOutput & output)
{
  if (!wanted.contains(kind)) {
    return;
  }
  CloudMessage & message = cloud_message(kind);
  message.header.frame_id = config_.arm_frame_id;
  message.header.stamp = clock.now();
  switch (kind) {
    case OutputKind::cam1_cloud:
      output.publish_cam1_cloud(message);
      break;
    case OutputKind::cam2_cloud:
      output.publish_cam2_cloud(message);
      break;
    default:
      output.publish_converted_cloud(message);
      break;
  }
}

CloudMessage & FramePipeline::cloud_message(OutputKind kind)
{
  switch (kind) {
    case OutputKind::cam1_cloud:
      return cam1_cloud_;
    case OutputKind::cam2_cloud:
      return cam2_cloud_;
    default:
      return converted_cloud_;
  }
}

}  // namespace tavrinox_camera_convertor
