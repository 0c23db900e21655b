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
: config_(config), configured_(configured_cameras(config)),
  arm_to_camera_1_of_(config.extrinsic_1), arm_to_camera_1_(config.extrinsic_1.inverse()),
  clouds_(instruction_set), clouds_beside_(instruction_set)
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
  ClockStamps stamps(clock);
  process(depth, configured_, color, stamps, output);
}

void FramePipeline::process(
  const DepthPair & depth, const FrameCameras & cameras, const ColorConverter & color,
  OutputStamps & stamps, FrameOutput & output)
{
  const SteadyClock::time_point started = SteadyClock::now();
  const OutputSet wanted = output.wanted();
  // Everything that can reject the frame happens before the first publication, whoever listens.
  const DepthPixels depth_1(depth.depth_1, "camera 1", scratch_1_);
  const DepthPixels depth_2(depth.depth_2, "camera 2", scratch_2_);
  require_depth_row_fits(depth_1.width());
  const PixelRays * const rays_1 = rays_for(cameras.model_1, depth_1, rays_1_);
  const PixelRays * const rays_2 = rays_for(cameras.model_2, depth_2, rays_2_);
  if (cameras.extrinsic_1 != arm_to_camera_1_of_) {
    arm_to_camera_1_ = cameras.extrinsic_1.inverse();
    arm_to_camera_1_of_ = cameras.extrinsic_1;
  }
  const CameraView camera_1{cameras.model_1, cameras.extrinsic_1, rays_1};
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
  const DepthRenderTarget render{
    arm_to_camera_1_, cameras.model_1.intrinsics, depth_image_, &holes_1_,
    &cameras.model_1.distortion};
  const DepthRenderTarget * target = nullptr;
  if (completion_needed) {
    holes_1_.assign(depth_1);
    target = holes_1_.has_holes() ? &render : nullptr;
  }
  write_camera_clouds(
    wanted, depth_1, depth_2, target,
    {camera_1, CameraView{cameras.model_2, cameras.extrinsic_2, rays_2}});
  const SteadyClock::time_point completed_at = SteadyClock::now();

  std::optional<DepthPixels> completed;
  if (wanted.contains(OutputKind::converted_cloud)) {
    completed.emplace(view_of(depth_image_), "completed", scratch_completed_);
    write_or_render(
      clouds_, OutputKind::converted_cloud, wanted, *completed, camera_1, converted_cloud_,
      nullptr);
  }
  const SteadyClock::time_point converted_at = SteadyClock::now();

  // Before the first publication: the completed image may leave with the depth image output.
  const auto source = [&wanted](
    OutputKind kind, const DepthPixels * pixels, const CameraModel & model,
    const ExtrinsicTransform & extrinsic) {
      return wanted.contains(kind) ?
             CloudSource{pixels, model.intrinsics, extrinsic, model.distortion} : CloudSource{};
    };
  output.note_cloud_sources(
    {source(OutputKind::cam1_cloud, &depth_1, cameras.model_1, cameras.extrinsic_1),
      source(OutputKind::cam2_cloud, &depth_2, cameras.model_2, cameras.extrinsic_2),
      source(
        OutputKind::converted_cloud, completed ? &*completed : nullptr, cameras.model_1,
        cameras.extrinsic_1)});

  publish_cloud_if_wanted(OutputKind::cam1_cloud, wanted, stamps, output);
  publish_cloud_if_wanted(OutputKind::cam2_cloud, wanted, stamps, output);

  // Both images are stamped at once, after the camera clouds were.
  Stamp depth_image_stamp;
  Stamp color_image_stamp;
  if (wanted.contains(OutputKind::depth_image) || wanted.contains(OutputKind::color_image)) {
    stamps.images(depth_image_stamp, color_image_stamp);
  }
  if (wanted.contains(OutputKind::depth_image)) {
    depth_image_.header.stamp = depth_image_stamp;
    depth_image_.header.frame_id = image_frame_id_;
    output.publish_depth_image(depth_image_);
  }
  // Converted only now, so a colour image that cannot be converted still leaves the depth image
  // out; and converted while only the converted cloud listens, since a failure here withholds it.
  if (wanted.contains(OutputKind::color_image) || wanted.contains(OutputKind::converted_cloud)) {
    color.convert_to_rgb8(color_image_);
  }
  if (wanted.contains(OutputKind::color_image)) {
    color_image_.header.stamp = color_image_stamp;
    color_image_.header.frame_id = image_frame_id_;
    color_image_.encoding = "rgb8";
    color_image_.is_bigendian = host_is_bigendian() ? 1 : 0;
    output.publish_color_image(color_image_);
  }

  publish_cloud_if_wanted(OutputKind::converted_cloud, wanted, stamps, output);

  timings_.check_ms = milliseconds_between(started, checked);
  timings_.clouds_and_completion_ms = milliseconds_between(checked, completed_at);
  timings_.converted_cloud_ms = milliseconds_between(completed_at, converted_at);
  timings_.publish_ms = milliseconds_between(converted_at, SteadyClock::now());
}

void FramePipeline::write_camera_clouds(
  OutputSet wanted, const DepthPixels & depth_1, const DepthPixels & depth_2,
  const DepthRenderTarget * target, const std::array<CameraView, 2> & cameras)
{
  const auto camera_1 = [&] {
      write_or_render(
        clouds_, OutputKind::cam1_cloud, wanted, depth_1, cameras[0], cam1_cloud_, target);
    };
  const bool both = target != nullptr ||
    (wanted.contains(OutputKind::cam1_cloud) && wanted.contains(OutputKind::cam2_cloud));
  if (!helper_ || !both) {
    camera_1();
    write_or_render(
      clouds_, OutputKind::cam2_cloud, wanted, depth_2, cameras[1], cam2_cloud_, target);
    return;
  }
  // Camera 2's points go to an image of their own while camera 1's are rendered, and over camera
  // 1's afterwards: they come later in the merged cloud, so where both land, camera 2's win.
  const DepthRenderTarget camera_2_target{
    target != nullptr ? target->arm_to_camera : arm_to_camera_1_,
    target != nullptr ? target->intrinsics : cameras[0].model.intrinsics, camera_2_projection_,
    &holes_1_, target != nullptr ? target->lens : nullptr};
  helper_->run_together(
    camera_1, [&] {
      if (target != nullptr) {
        reset_depth_image(depth_image_.width, depth_image_.height, camera_2_projection_);
      }
      write_or_render(
        clouds_beside_, OutputKind::cam2_cloud, wanted, depth_2, cameras[1], cam2_cloud_,
        target != nullptr ? &camera_2_target : nullptr);
    });
  if (target != nullptr) {
    overlay_later_projection(camera_2_projection_, depth_image_);
  }
}

void FramePipeline::write_or_render(
  ArmCloudWriter & writer, OutputKind kind, OutputSet wanted, const DepthPixels & depth,
  const CameraView & camera, CloudMessage & message, const DepthRenderTarget * target)
{
  if (wanted.contains(kind)) {
    writer.write(
      depth, camera.model.intrinsics, camera.extrinsic, message.cloud, target, camera.rays);
  } else if (target != nullptr) {
    writer.render(depth, camera.model.intrinsics, camera.extrinsic, *target, camera.rays);
  }
}

const PixelRays * FramePipeline::rays_for(
  const CameraModel & model, const DepthPixels & depth, PixelRays & rays)
{
  if (!model.distortion.bends() || depth.empty()) {
    return nullptr;
  }
  rays.assign(model, depth.width(), depth.height());
  return &rays;
}

void FramePipeline::publish_cloud_if_wanted(
  OutputKind kind, OutputSet wanted, OutputStamps & stamps, FrameOutput & output)
{
  if (!wanted.contains(kind)) {
    return;
  }
  CloudMessage & message = cloud_message(kind);
  message.header.frame_id = config_.arm_frame_id;
  message.header.stamp = stamps.cloud(kind);
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
